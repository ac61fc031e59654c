#!/usr/bin/env bash
# Fuzzes every target for SECONDS each (default 300), two at a time: builds the targets with clang,
# the libraries under test instrumented for coverage, and grows each target's corpus with the inputs
# that reached new code. Prints each target's coverage (edges reached) at the end.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"
case "$seconds" in ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;; esac
scripts/deps.sh
targets=(plist_fuzz:fuzz/foundation/corpus cpbitmap_fuzz:fuzz/colour/cpbitmap-corpus
         hexcolor_fuzz:fuzz/colour/hexcolor-corpus specifier_fuzz:fuzz/prefs/corpus
         script_fuzz:fuzz/hosts/corpus)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZV_FUZZ=ON -DZV_BENCH=OFF \
  > build-fuzz.configure.log 2>&1 || { cat build-fuzz.configure.log; exit 1; }
names=()
for entry in "${targets[@]}"; do names+=("${entry%%:*}"); done
cmake --build build-fuzz -j2 --target "${names[@]}" > build-fuzz.log 2>&1 || { tail -40 build-fuzz.log; exit 1; }

export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
run_one() {
  local name="${1%%:*}" corpus="${1#*:}" found
  found="$(mktemp -d)"
  # -close_fd_mask=2: the targets' own log lines would drown the fuzzer's.
  build-fuzz/bin/"$name" "$found" "$corpus" -max_total_time="$seconds" -close_fd_mask=2 \
    -print_final_stats=1 -artifact_prefix=build-fuzz/"$name"- > "build-fuzz/$name.log" 2>&1 || { echo "$name: FOUND A FAULT (build-fuzz/$name.log)"; return 1; }
  build-fuzz/bin/"$name" -merge=1 "$corpus" "$found" > /dev/null 2>&1
  rm -rf "$found"
  echo "$name: $(grep -o 'cov: [0-9]*' "build-fuzz/$name.log" | tail -1 | cut -d' ' -f2) edges in ${seconds} s, no fault"
}
status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  run_one "${targets[i]}" & first=$!
  second=""
  if (( i + 1 < ${#targets[@]} )); then run_one "${targets[i+1]}" & second=$!; fi
  wait "$first" || status=1
  if [ -n "$second" ]; then wait "$second" || status=1; fi
done
exit $status
