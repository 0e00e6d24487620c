#!/usr/bin/env bash
# Installs what building and testing Hostwend needs on a Debian machine.
# Idempotent: packages already present are left alone, and apt is only
# asked when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest libgtest-dev
  # clang with its sanitizer and libFuzzer runtimes, for the fuzzing run.
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # Wine for both bitnesses: wine32 runs the 32-bit programs (where the kernel
  # runs 32-bit code; scripts/test.sh says when it does not).
  wine wine64 wine32:i386
  # Wine's own fonts (title-bar glyphs) and metric twins of Arial and Times New Roman.
  fonts-wine fonts-liberation
  xvfb imagemagick
  # The console program's tests drive it from Linux and read its JSON.
  python3
  # The release: installer packages (wixl; msibuild, msiinfo and msiextract from
  # msitools), Authenticode signatures, and the test's throwaway certificate.
  wixl msitools osslsigncode openssl
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

# wine32 is an i386 package: the machine must take that architecture first.
update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "adding the i386 architecture for wine32"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  update=1
fi
if ((update)); then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if ((${#missing[@]})); then
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
