#!/usr/bin/env bash
# Makes a signed release with a certificate made here for the purpose, into a
# folder of its own, and verifies every signature an operator can meet: both
# programs in the archive, both inside the installer package, and the package
# itself. A wrong password must stop the release, not make an unsigned one.
#   check-signing.sh BUILD_DIR WORK_DIR ARCHIVE_NAME INSTALLER_NAME
set -euo pipefail
build=$1 work=$2 archive=$3 installer=$4
rm -rf "$work"
mkdir -p "$work/zip" "$work/msi"

status=0
fail() { echo "FAIL: $*"; status=1; }

password=throwaway-password
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -keyout "$work/key.pem" -out "$work/signer.pem" \
  -subj "/CN=Hostwend test signer/O=Wendlebrook Ltd" \
  -addext keyUsage=digitalSignature -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/signer.pem" -out "$work/signer.pfx" -passout "pass:$password"
export HOSTWEND_SIGN_PFX=$work/signer.pfx HOSTWEND_SIGN_PASSWORD=$password
unset HOSTWEND_SIGN_TIMESTAMP_URL  # no time-stamp server can be reached from here

# What the package target runs, with the packages put in a folder of our own.
release() { cpack --config "$build/CPackConfig.cmake" -B "$1" 2>&1; }
output=$(release "$work/out") || { echo "$output"; exit 1; }
grep -q 'release, signed' <<<"$output" || fail "the build did not report a signed release"
grep -q 'without a time stamp' <<<"$output" || fail "the build did not warn that nothing was time-stamped"

verify() {  # verify FILE: signed by the test's certificate, and unchanged since
  osslsigncode verify -CAfile "$work/signer.pem" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q 'Subject: /CN=Hostwend test signer' "$work/verify.log"
}
(cd "$work/zip" && cmake -E tar xf "$work/out/$archive")
# msiextract puts what goes into ProgramFiles64Folder at the top.
msiextract -C "$work/msi" "$work/out/$installer" >/dev/null
inside=$(dirname "$(find "$work/msi" -name hostwend.exe -print -quit)")
for file in "$work/zip/hostwend.exe" "$work/zip/hostwend-cli.exe" "$inside/hostwend.exe" "$inside/hostwend-cli.exe" \
            "$work/out/$installer"; do
  if verify "$file"; then
    echo "signed: ${file#"$work/"}"
  else
    fail "no valid signature: ${file#"$work/"}"; cat "$work/verify.log"
  fi
done

# The check can fail: an unsigned program, and a signed one changed afterwards.
! verify "$build/hostwend.exe" || fail "an unsigned program passed the verification"
cp "$work/zip/hostwend.exe" "$work/changed.exe"
printf 'X' | dd of="$work/changed.exe" bs=1 seek=4096 conv=notrunc status=none
! verify "$work/changed.exe" || fail "a program changed after signing passed the verification"

if HOSTWEND_SIGN_PASSWORD=wrong-password release "$work/wrong" >/dev/null; then
  fail "a wrong certificate password still made a release"
fi
[ ! -e "$work/wrong/$archive" ] && [ ! -e "$work/wrong/$installer" ] ||
  fail "a wrong certificate password left packages behind"

[ $status -eq 0 ] && echo "signing ok"
exit $status
