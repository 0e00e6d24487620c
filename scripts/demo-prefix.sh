#!/usr/bin/env bash
# Makes the Wine prefix PREFIX (once) with a TARN 6.x client's registry
# settings and, given a FOLDER, puts the built hostwend.exe, the demo's HWD.ini
# and any further files given into C:\FOLDER there.
#   scripts/demo-prefix.sh PREFIX [FOLDER [FILE...]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
prefix=$1 folder=${2:-}
shift $(($# < 2 ? $# : 2))

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d" WINEARCH=win64
"$root/scripts/wine-prefix.sh" "$prefix"
if [ ! -f "$prefix/.tarn-client-seeded" ]; then
  # The 64-bit regedit: the file names the 32-bit view by its 64-bit path (Wow6432Node).
  wine64=${HOSTWEND_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
  # winepath through the same loader: Debian's winepath script starts the
  # 32-bit one, which a kernel without IA-32 emulation cannot run.
  timeout 60 "$wine64" regedit /S "$("$wine64" winepath -w "$root/res/demo/tarn-client.reg" 2>/dev/null)"
  # Stopping the server writes the registry to disk.
  wineserver -k 2>/dev/null || true
  timeout 60 wineserver -w
  touch "$prefix/.tarn-client-seeded"
fi
[ -n "$folder" ] || exit 0
install_dir=$prefix/drive_c/$folder
mkdir -p "$install_dir"
cp "$root/build/windows-x64/hostwend.exe" "$root/res/demo/HWD.ini" "$@" "$install_dir/"
