#!/usr/bin/env bash
# Builds the release packages without a certificate, unpacks the archive and
# checks what an operator gets: the very programs that were built, a sample
# HWD.ini with every key and no address, and a guide that explains every
# message the program can show; and that the installer package was made beside
# the archive and the build said the release is unsigned.
#   check-package.sh BUILD_DIR ARCHIVE INSTALLER PROGRAM CONSOLE_PROGRAM SOURCE_DIR
set -euo pipefail
build=$1 archive=$2 installer=$3 program=$4 console_program=$5 source=$6
rm -f "$archive" "$installer"
output=$(cmake --build "$build" --target package 2>&1) || { echo "$output"; exit 1; }
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$archive")

status=0
fail() { echo "FAIL: $*"; status=1; }

[ -f "$installer" ] || fail "no installer package beside the archive: $installer"
grep -q 'release, UNSIGNED' <<<"$output" || fail "the build did not say that the release is unsigned"
listing=$(cd "$unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "./HWD.ini ./OPERATORS.md ./hostwend-cli.exe ./hostwend.exe " ] || fail "unexpected contents: $listing"
cmp -s "$unpacked/hostwend.exe" "$program" || fail "hostwend.exe differs from the build"
cmp -s "$unpacked/hostwend-cli.exe" "$console_program" || fail "hostwend-cli.exe differs from the build"

# Every key there to be filled in, and no address: nothing is applied from
# the sample until the site's addresses are in.
for key in LanAddress VPNAddress VsatAddress OthersAddress; do
  grep -qx "$key=" "$unpacked/HWD.ini" || fail "HWD.ini does not hold $key, blank"
done
grep -qx 'BcastUDPPort=7777' "$unpacked/HWD.ini" || fail "HWD.ini does not hold the client's port 7777"
grep -q '^\[SETUP\]' "$unpacked/HWD.ini" || fail "HWD.ini has no [SETUP] section"

# Every message text the program shows, as the guide must name it.
messages=(
  "HWD.ini file missing"
  "missing in HWD.ini"
  "in HWD.ini is too long"
  "Error occured while updating - Remote Address"
  "Error occured while updating - UDP Remote Address"
  "Error occured while updating - Bcast Address (1 of 2)"
  "Error occured while updating Bcast Address (2 of 2)"
  "Error occured while updating ODBC IPAddress under SOFTWARE\\TARN\\TARN6\\TARN Client\\ODBC"
  "Error occured while updating ODBC IPAddress under \\SOFTWARE\\ODBC\\ODBC.INI\\TARN INT Database"
  "IP address ( ADDRESS ) applied."
)
for message in "${messages[@]}"; do
  grep -qF -- "$message" "$unpacked/OPERATORS.md" || fail "the guide does not explain: $message"
done
for value in Remote-Addr UDP-Remote-Addr BcastTCPAddress BcastUDPAddress BcastUDPPort DisableTCPBcast \
             DataBase-IPAddress Server; do
  grep -qF "| $value |" "$unpacked/OPERATORS.md" || fail "the guide does not list the value $value"
done
[ $status -eq 0 ] && echo "package ok: $archive"
exit $status
