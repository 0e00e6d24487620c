#!/usr/bin/env bash
# Measures hostwend.exe against its floors under Wine and writes
# docs/benchmarks.md: start-up (also of hostwend-cli.exe show), the Apply
# sequence (also as one whole hostwend-cli.exe apply vsat), undo against
# apply, peak working set and size (also of hostwend-cli.exe and of the
# 32-bit build's programs).
# Not part of scripts/test.sh: the numbers are for reading, not for passing.
#
#   bench/run.sh [--runs N] [--apply-runs N] [--reg-runs N] [--warmup N]
#
# Builds the windows-x64 preset (and the programs of windows-x86, for their
# sizes), sets up a Wine prefix of its own under
# build/bench/ seeded with a TARN client's registry values, runs bench_runner
# there inside a Wine session of its own, and stops everything it started.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

runner_args=()
while (($#)); do
  case $1 in
    --runs | --apply-runs | --reg-runs | --warmup) runner_args+=("$1" "$2"); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target hostwend hostwend-cli floor_window floor_show floor_console \
  bench_runner
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 --target hostwend hostwend-cli

bench=$root/build/bench
export WINEPREFIX=$bench/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=d" WINEARCH=win64
# The programs and the floor side by side, with the HWD.ini the programs need.
scripts/demo-prefix.sh "$WINEPREFIX" Bench build/windows-x64/hostwend-cli.exe build/windows-x64/bench/floor_window.exe \
  build/windows-x64/bench/floor_show.exe build/windows-x64/bench/floor_console.exe

table=$bench/table.md
samples=$bench/samples.csv
rm -f "$table" "$samples"
# On a shared machine other work takes turns with ours on the processors; run
# ahead of it when allowed (as root), which narrows the spread a good deal.
priority=()
if [ "$(nice -n -10 nice 2>/dev/null)" -lt 0 ] 2>/dev/null; then
  priority=(nice -n -10)
fi
niceness=$("${priority[@]}" nice 2>/dev/null)

# winepath through the 64-bit loader: Debian's winepath script starts the
# 32-bit one, which a kernel without IA-32 emulation cannot run.
wine64=${HOSTWEND_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
windows_path() { "$wine64" winepath -w "$1" 2>/dev/null; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
timeout 1800 "${priority[@]}" scripts/wine-session.sh wine build/windows-x64/bench/bench_runner.exe \
  --hostwend 'C:\Bench\hostwend.exe' --floor 'C:\Bench\floor_window.exe' --cli 'C:\Bench\hostwend-cli.exe' \
  --floor-show 'C:\Bench\floor_show.exe' --floor-console 'C:\Bench\floor_console.exe' --reach-listener 127.0.0.77 \
  --hostwend-x86 "$(windows_path build/windows-x86/hostwend.exe)" --cli-x86 "$(windows_path build/windows-x86/hostwend-cli.exe)" \
  --out "$(windows_path "$table")" --samples "$(windows_path "$samples")" \
  "${runner_args[@]}"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
# Asked of the 64-bit loader, which ran the programs: with wine32 installed
# plain `wine` is the 32-bit one, which answers nothing where the kernel
# cannot run 32-bit code.
wine_version=$("$wine64" --version 2>/dev/null || wine --version 2>/dev/null || true)
[ -s "$table" ] || { echo "bench_runner wrote no table" >&2; exit 1; }

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
git diff --quiet HEAD -- src cmake CMakeLists.txt 2>/dev/null || commit="$commit, with uncommitted changes to the programs"

out=docs/benchmarks.md
mkdir -p docs
{
  cat <<EOF
# Benchmarks

Measured and written by \`bench/run.sh\`; run it again to measure again (it
is not part of the test command). All figures come from one run in which
the contenders took turns, round by round, after warm-up rounds that were not
recorded; ratios compare figures of that same run. Wine on a shared machine
is noisy: read the ratios, not the absolute times.

## Machine

| | |
|---|---|
| Date | $(date -u '+%Y-%m-%d %H:%M UTC') |
| CPU | ${cpu:-unknown} |
| Processors (nproc) | $(nproc) |
| Memory | $(awk '/^MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) |
| Kernel | $(uname -sr) |
| Wine | ${wine_version:-unknown} |
| Load average before / after | $load_before / $load_after |
| Niceness of the benchmark | $niceness |
| Program built from | $commit |

## Results

EOF
  cat "$table"
  echo
  cat bench/notes.md
} >"$out"
echo "Wrote $out (raw samples: $samples)"
