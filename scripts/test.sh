#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests (plain and
# under AddressSanitizer/UBSan), a bounded libFuzzer run, then the Windows
# build's tests under Wine, the installer package's among them in a Wine prefix
# of its own. The 32-bit programs and packages are built and checked too
# (imports, package contents, signing); they cannot run on these machines.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/install-deps.sh

for preset in linux linux-asan linux-fuzz windows-x64 windows-x86; do
  cmake --preset "$preset" -DHOSTWEND_WERROR=ON >/dev/null
done
cmake --build --preset linux
cmake --build --preset linux-asan
cmake --build --preset linux-fuzz --target profile_value_fuzzer
cmake --build --preset windows-x64
cmake --build --preset windows-x86

status=0
passed=0
failed=0
# Runs one CTest preset, keeps its log and adds its counts to the totals.
run() {
  local name=$1; shift
  "$@" 2>&1 | tee "build/$name-ctest.log" || status=1
  local counts
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "build/$name-ctest.log" | tail -n 1)
  if [ -z "$counts" ]; then
    echo "$name: no test summary"; status=1; return
  fi
  read -r f t <<<"$counts"
  failed=$((failed + f))
  passed=$((passed + t - f))
}
run linux ctest --preset linux
run linux-asan ctest --preset linux-asan
run linux-fuzz ctest --preset linux-fuzz
run windows-x64 scripts/wine-session.sh ctest --preset windows-x64
run windows-x86 ctest --preset windows-x86

echo
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit $status
