#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libplist-dev libplist-utils
  libavformat-dev libavcodec-dev libavfilter-dev libswscale-dev libwebp-dev
  libcairo2-dev libpango1.0-dev fonts-dejavu-core
  libsdl2-dev libstb-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool x11-apps time
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

# --check: only says (by its exit status) whether anything is missing.
if [ "${1:-}" = "--check" ]; then
  [ ${#missing[@]} -eq 0 ]
  exit
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
