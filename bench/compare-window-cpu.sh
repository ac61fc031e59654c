#!/usr/bin/env bash
# Compares the CPU two builds' windows use, side by side: both open at once in one Xvfb, each
# process's time read from the scheduler over the same seconds. A single window's figure moves by a
# tenth or more from one run to the next on a shared machine; two windows measured together see the
# same load, so their ratio holds still where their figures do not.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/compare-window-cpu.sh BASELINE_BUILD BUILD [--screen lock|settings] [--seconds N] [--rounds N]

  BASELINE_BUILD, BUILD  build trees (each with bin/zorvi, bin/zv-springboard, bin/zv-settings)
  --screen lock          the lock screen animating, 375x812@3 (the default)
  --screen settings      the Settings Zorvi page standing still, 375x667@2
  --seconds N            seconds measured each round (default 15)
  --rounds N             rounds (default 3)
EOF
}

[[ ${1:-} == --help || ${1:-} == -h ]] && { usage; exit 0; }
(($# >= 2)) || { usage >&2; exit 2; }
base=$1 new=$2
shift 2
screen=lock seconds=15 rounds=3
while (($#)); do
  case $1 in
    --screen) screen=${2:-}; shift 2 || { usage >&2; exit 2; } ;;
    --seconds) seconds=${2:-}; shift 2 || { usage >&2; exit 2; } ;;
    --rounds) rounds=${2:-}; shift 2 || { usage >&2; exit 2; } ;;
    *) echo "compare-window-cpu: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done
[[ $screen == lock || $screen == settings ]] || { echo "compare-window-cpu: --screen is lock or settings" >&2; exit 2; }
[[ $seconds =~ ^[1-9][0-9]{0,3}$ && $rounds =~ ^[1-9][0-9]{0,2}$ ]] ||
  { echo "compare-window-cpu: --seconds and --rounds take a positive whole number" >&2; exit 2; }
for tree in "$base" "$new"; do
  for program in zorvi zv-springboard zv-settings; do
    [[ -x $tree/bin/$program ]] || { echo "compare-window-cpu: $tree/bin/$program is not there" >&2; exit 2; }
  done
done
command -v Xvfb > /dev/null || { echo "compare-window-cpu: Xvfb is not installed" >&2; exit 2; }

work=$(mktemp -d /tmp/zorvi-compare-XXXXXX)
pids=()
# Test displays hold this lock while an X server starts or ends, so that a new server never takes
# the number of one that is still removing its sockets; a lock that cannot be had is gone without.
numbers=
lockNumbers() {
  { exec {numbers}>> /tmp/zv-xvfb-numbers.lock; } 2> /dev/null && flock -w 10 "$numbers" || true
}
unlockNumbers() {
  [[ -z $numbers ]] || exec {numbers}>&-
  numbers=
}
cleanup() {
  lockNumbers
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
  wait 2> /dev/null || true
  unlockNumbers
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and says which, the number and then its line's end.
lockNumbers
server=(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp)
# The server must not hold the lock for as long as it runs.
if [[ -n $numbers ]]; then "${server[@]}" > "$work/display" 2> /dev/null {numbers}>&- &
else "${server[@]}" > "$work/display" 2> /dev/null & fi
pids+=($!)
for _ in $(seq 50); do (($(wc -l < "$work/display") > 0)) && break; sleep 0.1; done
unlockNumbers
[[ -s $work/display ]] || { echo "compare-window-cpu: Xvfb did not start" >&2; exit 1; }
display=:$(head -n1 "$work/display")

if [[ $screen == lock ]]; then size=375x812@3 host=zv-springboard script=; else
  size=375x667@2 host=zv-settings script='open Zorvi'
fi

# Starts a build's window on a fresh device; prints its pid.
start() {
  local tree=$1 folder=$2
  "$tree/bin/zorvi" device create --root "$folder/device" --screen "$size" > /dev/null
  printf '%s\n' "$script" > "$folder/script.txt"
  DISPLAY=$display "$tree/bin/$host" --root "$folder/device" --script "$folder/script.txt" > /dev/null 2>&1 &
  echo $!
}
ran() { awk '{print $1}' "/proc/$1/schedstat"; }

ratios=()
for round in $(seq "$rounds"); do
  mkdir -p "$work/$round/base" "$work/$round/new"
  a=$(start "$base" "$work/$round/base"); b=$(start "$new" "$work/$round/new")
  pids+=("$a" "$b")
  sleep 2 # start-up and the first frames
  a0=$(ran "$a") b0=$(ran "$b") t0=$(date +%s%N)
  sleep "$seconds"
  a1=$(ran "$a") b1=$(ran "$b") t1=$(date +%s%N)
  kill "$a" "$b"; wait "$a" "$b" 2> /dev/null || true
  ratio=$(awk -v a=$((a1 - a0)) -v b=$((b1 - b0)) 'BEGIN { printf "%.3f", (a > 0 ? b / a : 0) }')
  ratios+=("$ratio")
  awk -v a=$((a1 - a0)) -v b=$((b1 - b0)) -v t=$((t1 - t0)) -v r="$round" -v q="$ratio" \
    'BEGIN { printf "round %d: baseline %.2f %% of a core, build %.2f %%, ratio %s\n", r, 100 * a / t, 100 * b / t, q }'
done
printf '%s\n' "${ratios[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "median ratio %s over %d rounds\n", (NR % 2 ? v[(NR + 1) / 2] : sprintf("%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2)), NR }'
