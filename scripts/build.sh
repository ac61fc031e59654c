#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh DIR [cmake options...]
set -euo pipefail
cd "$(dirname "$0")/.."
# A new tree is built with Ninja (it starts compiling sooner than make and keeps both cores busier);
# a tree that exists keeps the generator it was made with.
export CMAKE_GENERATOR="${CMAKE_GENERATOR:-Ninja}"
tree="$1"; shift
cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" > "$tree.configure.log" 2>&1 || {
  cat "$tree.configure.log"; exit 1; }
cmake --build "$tree" -j2
