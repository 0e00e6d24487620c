#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests, then the
# Windows build's tests under Wine. The 32-bit program is built too, to prove
# it compiles; it cannot run on these machines.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/install-deps.sh

for preset in linux windows-x64 windows-x86; do
  cmake --preset "$preset" -DHOSTWEND_WERROR=ON >/dev/null
done
cmake --build --preset linux
cmake --build --preset windows-x64
cmake --build --preset windows-x86 --target hostwend

status=0
ctest --preset linux 2>&1 | tee build/linux-ctest.log || status=1
scripts/wine-session.sh ctest --preset windows-x64 2>&1 | tee build/windows-ctest.log || status=1

# One line for both runs.
count() { sed -n "s/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p" "$1" | tail -n 1; }
read -r failed_native total_native <<<"$(count build/linux-ctest.log)"
read -r failed_wine total_wine <<<"$(count build/windows-ctest.log)"
failed=$(( ${failed_native:-1} + ${failed_wine:-1} ))
total=$(( ${total_native:-0} + ${total_wine:-0} ))
echo
echo "all: $(( total - failed )) passed, $failed failed"
[ "$failed" -eq 0 ] && exit $status || exit 1
