#!/usr/bin/env bash
# Builds the release archive, unpacks it and checks what an operator gets:
# the very program that was built, a sample HWD.ini with every key, and a
# guide that explains every message the program can show.
#   check-package.sh BUILD_DIR ARCHIVE PROGRAM SOURCE_DIR
set -euo pipefail
build=$1 archive=$2 program=$3 source=$4
cmake --build "$build" --target package >/dev/null
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$archive")

status=0
fail() { echo "FAIL: $*"; status=1; }

listing=$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')
[ "$listing" = "./HWD.ini ./OPERATORS.md ./hostwend.exe " ] || fail "unexpected contents: $listing"
cmp -s "$unpacked/hostwend.exe" "$program" || fail "hostwend.exe differs from the build"

for key in LanAddress VPNAddress VsatAddress OthersAddress BcastUDPPort; do
  grep -q "^$key=[^ ]" "$unpacked/HWD.ini" || fail "HWD.ini has no value for $key"
done
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
