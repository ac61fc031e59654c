#!/usr/bin/env bash
# The main job: the simulated device with Zorvi on the default device. Installs what is missing,
# builds, creates the default device when there is none, then shows its lock screen in a window
# where there is a display, or runs a short built-in script headless and says where its pictures are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh build

zorvi=build/bin/zorvi
device="${ZV_DEFAULT_DEVICE:-${XDG_DATA_HOME:-$HOME/.local/share}/zorvi/device}"
if [ ! -f "$device/System/Library/CoreServices/SystemVersion.plist" ]; then
  "$zorvi" device create --root "$device"
else
  # A rebuilt tweak and settings bundle replace the ones installed on the device.
  cp build/lib/Zorvi.dylib "$device/Library/MobileSubstrate/DynamicLibraries/Zorvi.dylib"
  mkdir -p "$device/Library/PreferenceBundles/zorvipref.bundle" "$device/Library/PreferenceLoader/Preferences"
  for file in zorvipref Info.plist Root.plist ColorPrefs.plist; do
    cp "build/lib/zorvipref.bundle/$file" "$device/Library/PreferenceBundles/zorvipref.bundle/$file"
  done
  cp build/lib/zorvipref.bundle/Entry.plist "$device/Library/PreferenceLoader/Preferences/Zorvi.plist"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "${1:-}" != "--headless" ]; then
  exec "$zorvi" springboard --root "$device"
fi

out="${ZV_SNAPSHOTS:-$PWD/snapshots}"
mkdir -p "$out"
cat > "$out/demo.script" <<SCRIPT
# The lock screen comes on screen, the waves move, button 2 is dragged below the line,
# the person authenticates and the app is launched again a second later.
appear
hint
quick-actions
tick 30
snapshot $out/1-lock-screen.png
pan 2 begin
pan 2 move 0 40
tick 2
pan 2 move 0 40
tick 2
snapshot $out/2-dragging.png
pan 2 move 0 40
tick 2
pan 2 end
state
authenticate yes
wait 1100
snapshot $out/3-after-launch.png
lock
tick 30
snapshot $out/4-locked-again.png
state
SCRIPT
"$zorvi" springboard --root "$device" --headless --script "$out/demo.script" --trace "$out/trace.jsonl"
echo
echo "No display: ran $out/demo.script headless."
echo "Trace:     $out/trace.jsonl"
echo "Snapshots: $(ls "$out"/*.png | tr '\n' ' ')"
