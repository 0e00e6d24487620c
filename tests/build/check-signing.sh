#!/usr/bin/env bash
# Makes a signed release with a certificate made here for the purpose, into a
# folder of its own, and verifies every signature an operator can meet: both
# programs in the archive, both inside the installer package, and the package
# itself. A wrong password must stop the release, not make an unsigned one.
# Then the same with time stamps from a time-stamp server started here on
# 127.0.0.1 (tests/build/timestamp-server.py): every signature carries a
# verified one; a time stamp nobody trusts, a server that never answers and an
# interruption each stop the release, and none leaves the password behind.
#   check-signing.sh BUILD_DIR WORK_DIR ARCHIVE_NAME INSTALLER_NAME
set -euo pipefail
build=$1 work=$2 archive=$3 installer=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rm -rf "$work"
mkdir -p "$work/zip" "$work/msi"

server_pid= release_pid=
stop() {  # stop PID: ends a process this test started, and waits for it
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
trap 'stop "$server_pid"; [ -z "$release_pid" ] || kill -KILL -- "-$release_pid" 2>/dev/null || true' EXIT

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
  timeout 60 osslsigncode verify -CAfile "$work/signer.pem" -TSA-CAfile "$work/tsa.pem" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q 'Subject: /CN=Hostwend test signer' "$work/verify.log"
}
# Every signature an operator meets in the release in OUT, each verified;
# with "timestamped", each with a time stamp that verifies too.
verify_release() {  # verify_release OUT [timestamped]
  local out=$1 file
  rm -rf "$work/zip" "$work/msi"
  mkdir -p "$work/zip" "$work/msi"
  (cd "$work/zip" && cmake -E tar xf "$out/$archive")
  # msiextract puts what goes into ProgramFiles64Folder at the top.
  msiextract -C "$work/msi" "$out/$installer" >/dev/null
  inside=$(dirname "$(find "$work/msi" -name hostwend.exe -print -quit)")
  for file in "$work/zip/hostwend.exe" "$work/zip/hostwend-cli.exe" "$inside/hostwend.exe" "$inside/hostwend-cli.exe" \
              "$out/$installer"; do
    if ! verify "$file"; then
      fail "no valid signature: ${file#"$work/"}"; cat "$work/verify.log"
    elif [ "${2:-}" = timestamped ] && ! grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"; then
      fail "no verified time stamp: ${file#"$work/"}"; cat "$work/verify.log"
    elif [ "${2:-}" != timestamped ] && grep -q 'Timestamp time:' "$work/verify.log"; then
      fail "a time stamp where none was asked for: ${file#"$work/"}"
    else
      echo "signed${2:+ and time-stamped}: ${file#"$work/"}"
    fi
  done
}
# The password must never lie in a file: not during signing, not after.
expect_no_password_left() {  # expect_no_password_left WHEN
  local found
  found=$(grep -rlF -- "$password" "$work" "$build/_CPack_Packages" 2>/dev/null || true)
  [ -z "$found" ] || fail "$1: the password is left in $found"
}
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$work/tsa.key" -out "$work/tsa.pem" \
  -subj "/CN=Hostwend test time stamps" -addext keyUsage=critical,digitalSignature \
  -addext extendedKeyUsage=critical,timeStamping 2>/dev/null
verify_release "$work/out"
expect_no_password_left "after a release"

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
expect_no_password_left "after a wrong password"

# The time-stamp server, answering or (--hang) taking queries and never
# answering; its port is the first line it prints.
cat >"$work/tsa.cnf" <<EOF
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = $work/tsa.serial
signer_cert = $work/tsa.pem
signer_key = $work/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
echo 01 >"$work/tsa.serial"
start_server() {  # start_server [--hang]: sets server_pid and HOSTWEND_SIGN_TIMESTAMP_URL
  stop "$server_pid"
  rm -f "$work/port"
  python3 "$here/timestamp-server.py" "$work/tsa.cnf" "$@" >"$work/port" 2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$work/port" ] || { echo "the time-stamp server did not start:"; cat "$work/server.log"; exit 1; }
  export HOSTWEND_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(head -n 1 "$work/port")
}
export HOSTWEND_SIGN_CAFILE=$work/signer.pem HOSTWEND_SIGN_TSA_CAFILE=$work/tsa.pem

echo "== time-stamped"
start_server
output=$(release "$work/stamped") || { echo "$output"; fail "a time-stamped release failed"; }
! grep -q 'without a time stamp' <<<"$output" || fail "a time-stamped release warned that nothing was time-stamped"
verify_release "$work/stamped" timestamped
# The build's own check of each time stamp can fail: one from an authority it
# is not told to trust stops the release.
if HOSTWEND_SIGN_TSA_CAFILE=$work/signer.pem release "$work/untrusted" >"$work/untrusted.log"; then
  fail "a time stamp that does not verify still made a release"
fi
[ ! -e "$work/untrusted/$archive" ] || fail "a time stamp that does not verify left packages behind"

echo "== a time-stamp server that never answers"
start_server --hang
started=$SECONDS
if HOSTWEND_SIGN_TIMEOUT=3 timeout 60 cpack --config "$build/CPackConfig.cmake" -B "$work/stalled" >"$work/stalled.log" 2>&1; then
  fail "a release went on without its time stamps"
fi
[ $((SECONDS - started)) -lt 30 ] || fail "the stalled server held the release $((SECONDS - started)) s with a 3 s limit"
grep -q 'each signature may take 3 s' "$work/stalled.log" || fail "the build did not say it gave up: $(tail -n 5 "$work/stalled.log")"
[ ! -e "$work/stalled/$archive" ] || fail "a stalled signature left packages behind"
expect_no_password_left "after a stalled server"

echo "== interrupted while signing"
# Its own process group, as a terminal's Ctrl-C reaches the build and its children.
setsid cpack --config "$build/CPackConfig.cmake" -B "$work/interrupted" >"$work/interrupted.log" 2>&1 &
release_pid=$!
# Interrupted once osslsigncode waits for the server, password in hand.
for _ in $(seq 300); do
  grep -qx query "$work/server.log" && break
  sleep 0.1
done
grep -qx query "$work/server.log" || fail "the release never asked the server for a time stamp"
expect_no_password_left "while signing"
kill -INT -- "-$release_pid" 2>/dev/null || true
for _ in $(seq 100); do
  kill -0 "$release_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$release_pid" 2>/dev/null; then
  fail "the release went on after Ctrl-C"
else
  wait "$release_pid" 2>/dev/null || true
  release_pid=
fi
for pid in $(pgrep -f -- "$work/interrupted/" || true); do
  fail "a signing process outlived the interruption: $(ps -o args= -p "$pid")"
  kill "$pid" 2>/dev/null || true
done
expect_no_password_left "after an interruption"
[ ! -e "$work/interrupted/$archive" ] || fail "an interrupted release left an archive behind"
stop "$server_pid"; server_pid=

[ $status -eq 0 ] && echo "signing ok"
exit $status
