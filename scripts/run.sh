#!/usr/bin/env bash
# The main job: the simulated device with Zorvi on the default device. Installs what is missing,
# builds, creates the default device when there is none, then shows its lock screen in a window
# where there is a display, or runs a short built-in script headless and says where its pictures are.
set -euo pipefail
cd "$(dirname "$0")/.."
# A new tree is built with Ninja (it starts compiling sooner than make and keeps both cores busier);
# a tree that exists keeps the generator it was made with.
export CMAKE_GENERATOR="${CMAKE_GENERATOR:-Ninja}"
headless="" dev=""
for argument in "$@"; do
  case "$argument" in
    -h|--help)
      echo "usage: scripts/run.sh [--headless] [--dev]"
      echo "Installs what is missing, builds, and boots the default device (${ZV_DEFAULT_DEVICE:-~/.local/share/zorvi/device}):"
      echo "the lock screen and Settings side by side in windows where there is a display; headless (or with"
      echo "--headless), a demo that sets custom colours in Settings, taps Update and Respring, and snapshots"
      echo "the lock screen before and after. With --dev, the developer's loop instead (zorvi dev): each save"
      echo "of the product's sources rebuilds it and restarts what loads it on the booted device; Ctrl-C ends."
      exit 0 ;;
    --headless) headless=1 ;;
    --dev) dev=1 ;;
    *) echo "scripts/run.sh: unknown argument $argument (try --help)" >&2; exit 2 ;;
  esac
done
# Each stage says one line; what the tools print goes to a log named when a stage fails.
mkdir -p build
log="$PWD/build/run.log"
: > "$log"
stage() {
  local what="$1"; shift
  echo "zorvi: $what"
  if ! "$@" >> "$log" 2>&1; then
    echo "zorvi: failed while $what; the details are in $log" >&2
    tail -20 "$log" >&2
    exit 1
  fi
}
if ! scripts/deps.sh --check > /dev/null 2>&1; then
  stage "installing packages (Debian's, a minute or two)" scripts/deps.sh
fi
configure() { cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo; }
if [ ! -f build/CMakeCache.txt ]; then
  stage "configuring" configure
  building="building (first time, about 2 minutes on two cores)"
else
  building="building what changed"
fi
# Only what the device runs: the command, its processes, the product (not the tests or benchmarks).
stage "$building" cmake --build build -j2 --target zorvi

zorvi=build/bin/zorvi
device="${ZV_DEFAULT_DEVICE:-${XDG_DATA_HOME:-$HOME/.local/share}/zorvi/device}"
if [ ! -f "$device/System/Library/CoreServices/SystemVersion.plist" ]; then
  stage "creating the default device at $device" "$zorvi" device create --root "$device"
else
  # A rebuilt product and the device's own programs replace the installed ones.
  stage "updating the device at $device" "$zorvi" device update --root "$device"
fi
echo "zorvi: starting"

if [ -n "$dev" ]; then
  exec "$zorvi" dev --root "$device" ${headless:+--headless}
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "$headless" ]; then
  exec "$zorvi" boot --root "$device"
fi

out="${ZV_SNAPSHOTS:-$PWD/snapshots}"
mkdir -p "$out"
rm -f "$out/1-lock-screen.png" "$out/2-settings.png" "$out/3-after-respring.png"
# The demo starts from the colour switches off, so that turning custom colours on is what it shows.
"$zorvi" defaults --root "$device" write com.vantrel.zorvi enablecustom -bool false
"$zorvi" defaults --root "$device" write com.vantrel.zorvi enableblend -bool false
cat > "$out/demo.script" <<SCRIPT
# The whole device: the lock screen as it is, then custom colours set in Settings, the preview's
# Update, a Respring, and the lock screen again with waves in the new colours.
wait-for springboard ready
wait-for settings ready
springboard: appear
springboard: tick 30
springboard: snapshot $out/1-lock-screen.png
# Lines to two processes run side by side: the lock screen's picture must be taken before the
# Respring below ends it.
springboard: state
wait-for springboard state
settings: open Zorvi
settings: open Colours
settings: set line1 FFFF3B30
settings: set line2 FF34C759
settings: set line3 FF0A84FF
settings: toggle enablecustom
settings: bar-button
settings: tick 10
settings: snapshot $out/2-settings.png
settings: back
settings: bar-button
wait-for settings task
wait-for springboard ready
springboard: appear
springboard: tick 30
springboard: snapshot $out/3-after-respring.png
springboard: state
wait-for springboard state
SCRIPT
"$zorvi" boot --root "$device" --headless --script "$out/demo.script" --trace "$out/trace.jsonl"
echo
echo "No display: booted the device headless and ran $out/demo.script."
echo "Trace:     $out/trace.jsonl"
echo "Snapshots: $(ls "$out"/*.png | tr '\n' ' ')"
for picture in 1-lock-screen 2-settings 3-after-respring; do
  if [ ! -f "$out/$picture.png" ]; then
    echo "zorvi: the demo did not take $picture.png; the trace says what happened" >&2
    exit 1
  fi
done
