#!/usr/bin/env bash
# Builds hostwend.exe and starts it under Wine in a demo prefix that holds a
# TARN 6.x client's registry settings, with the demo's HWD.ini beside it.
# With a display ($DISPLAY) the window appears there until you close it;
# without one, a private Xvfb is used, a picture of the window is saved to
# build/demo/screenshot.png, and everything started is stopped again.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/install-deps.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target hostwend snap

demo=$root/build/demo
export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d" WINEARCH=win64
scripts/demo-prefix.sh "$WINEPREFIX" Hostwend

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting C:\\Hostwend\\hostwend.exe on $DISPLAY (prefix $WINEPREFIX)"
  # The 64-bit build, so the 64-bit loader.
  exec "$(command -v wine64 || echo /usr/lib/wine/wine64)" 'C:\Hostwend\hostwend.exe'
fi

shot=$demo/screenshot
rm -f "$shot.bmp" "$shot.png"
scripts/wine-session.sh wine build/windows-x64/tests/wine/snap.exe 'C:\Hostwend' "Z:${shot//\//\\}.bmp"
convert "$shot.bmp" "$shot.png"
rm -f "$shot.bmp"
echo "Screenshot: $shot.png"
