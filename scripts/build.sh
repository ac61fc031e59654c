#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
tree="$1"; shift
cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$tree.configure.log" 2>&1 || {
  cat "$tree.configure.log"; exit 1; }
cmake --build "$tree" -j2
