#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests (plain and
# under AddressSanitizer/UBSan), a bounded libFuzzer run, then the Windows
# builds' tests under Wine, each installer package's among them in a Wine
# prefix of its own. The 32-bit programs run under wine32, on 64-bit Windows
# and (the platform layer and the console program) on a 32-bit Windows too;
# where the kernel cannot run 32-bit programs, those tests are reported as
# skipped. Both builds' programs and packages are checked (imports, versions,
# package contents, signing).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/install-deps.sh

# Wine's 32-bit loader is itself a 32-bit Linux program: it starts only where
# the kernel runs 32-bit code (IA-32 emulation).
run32=ON
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  run32=OFF
  echo "This kernel cannot run 32-bit programs: the 32-bit build's Wine tests are skipped, not run."
fi

for preset in linux linux-asan linux-fuzz windows-x64; do
  cmake --preset "$preset" -DHOSTWEND_WERROR=ON >/dev/null
done
cmake --preset windows-x86 -DHOSTWEND_WERROR=ON -DHOSTWEND_RUN_WINE_TESTS=$run32 >/dev/null
cmake --build --preset linux
cmake --build --preset linux-asan
cmake --build --preset linux-fuzz --target profile_value_fuzzer
cmake --build --preset windows-x64
cmake --build --preset windows-x86

status=0
passed=0
failed=0
skipped=0
# Runs one CTest preset, keeps its log and adds its counts to the totals. CTest
# counts a skipped test among the passed ones and leaves a disabled one out;
# both are counted here as skipped.
run() {
  local name=$1; shift
  "$@" 2>&1 | tee "build/$name-ctest.log" || status=1
  local counts
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "build/$name-ctest.log" | tail -n 1)
  if [ -z "$counts" ]; then
    echo "$name: no test summary"; status=1; return
  fi
  read -r f t <<<"$counts"
  local not_run disabled
  not_run=$(grep -cE '^\s+[0-9]+ - .* \(Skipped\)$' "build/$name-ctest.log" || true)
  disabled=$(grep -cE '^\s+[0-9]+ - .* \(Disabled\)$' "build/$name-ctest.log" || true)
  failed=$((failed + f))
  passed=$((passed + t - f - not_run))
  skipped=$((skipped + not_run + disabled))
}
run linux ctest --preset linux
run linux-asan ctest --preset linux-asan
run linux-fuzz ctest --preset linux-fuzz
run windows-x64 scripts/wine-session.sh ctest --preset windows-x64
run windows-x86 scripts/wine-session.sh ctest --preset windows-x86

# The 32-bit programs' tests under Wine, as CTest reported each.
ran32=$(grep -E 'Test +#[0-9]+: wine(32)?\.' build/windows-x86-ctest.log | grep -cvE 'Skipped|Not Run' || true)
not32=$(grep -cE '^\s+[0-9]+ - wine(32)?\..* \((Skipped|Disabled)\)$' build/windows-x86-ctest.log || true)

echo
echo "32-bit programs under Wine: $ran32 tests run, $not32 skipped"
echo "all: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] || status=1
exit $status
