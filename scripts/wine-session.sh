#!/usr/bin/env bash
# Runs one command with a Wine session of its own: the project's Wine prefix
# (made on first use), a private Xvfb display unless one is given, and, at the
# end, that Xvfb and the prefix's wineserver stopped by their own PIDs.
#
#   scripts/wine-session.sh COMMAND [ARGS...]
#
# WINEPREFIX defaults to build/wineprefix in the source tree, WINEARCH to win64
# (64-bit Windows; win32 makes a 32-bit Windows, with one registry view). Set
# HOSTWEND_KEEP_DISPLAY=1 to use the caller's $DISPLAY instead of an Xvfb.
# The command finds Wine's 64-bit loader in HOSTWEND_WINE64: with wine32
# installed, plain `wine` starts Wine's own tools (reg, cmd, msiexec) as 32-bit
# programs, so whatever means the 64-bit side says so.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=d}
export WINEARCH=${WINEARCH:-win64}
# File names are UTF-8 on the Linux side: under a C locale Wine cannot make a
# file whose name the ANSI code page lacks, and the tests need such names.
export LC_ALL=C.UTF-8
export HOSTWEND_WINE64=${HOSTWEND_WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)}

# With wine32 installed, Debian's `wine` starts Wine's 32-bit loader, which
# hands 64-bit programs on to the 64-bit one. Where the kernel cannot run
# 32-bit code that loader cannot start at all: `wine` is then the 64-bit loader.
# HOSTWEND_WINE32 names the 32-bit loader where it runs, and is empty elsewhere.
shim=
export HOSTWEND_WINE32=/usr/lib/wine/wine
if ! "$HOSTWEND_WINE32" --version >/dev/null 2>&1; then
  HOSTWEND_WINE32=
fi
# Debian's winepath starts wine-stable, which picks the 32-bit loader too.
if [ -e /usr/lib/wine/wine ] && [ -z "$HOSTWEND_WINE32" ]; then
  shim=$(mktemp -d)
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexec "%s" "$@"\n' "$HOSTWEND_WINE64" >"$shim/$name"
    chmod +x "$shim/$name"
  done
  export PATH=$shim:$PATH
fi

"$root/scripts/wine-prefix.sh" "$WINEPREFIX"

# One session at a time per prefix: two would share one wineserver, desktop
# and registry, and undo each other's seeding.
exec 8>"$WINEPREFIX.session.lock"
flock -w 900 8 || { echo "another Wine session holds $WINEPREFIX" >&2; exit 1; }

xvfb_pid=
cleanup() {
  local rc=$?
  # Only this prefix's wineserver: -k addresses the server of $WINEPREFIX.
  # It writes the registry to disk as it goes; -w waits until it has.
  wineserver -k 2>/dev/null || true
  timeout 20 wineserver -w 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  [ -z "$shim" ] || rm -rf "$shim"
  exit $rc
}
trap cleanup EXIT INT TERM

if [ "${HOSTWEND_KEEP_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  # Xvfb picks a free display itself and writes its number to the pipe.
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 8>&- &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$displayfile" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$displayfile" ] || { echo "Xvfb gave no display within 10 s" >&2; exit 1; }
  export DISPLAY=":$(tr -d '\n' < "$displayfile")"
  rm -f "$displayfile"
fi

# One wineserver for the whole session, so each program started in it does
# not pay for a new server and desktop.
if ! wineserver -p 2>/dev/null 8>&-; then
  # A server of this prefix outlived an earlier command: replace it.
  wineserver -k 2>/dev/null || true
  timeout 20 wineserver -w 2>/dev/null || true
  wineserver -p 8>&-
fi
# Start the session's own services and desktop now, with their output going
# nowhere: started by a test, they would hold CTest's output pipe open.
session_loader=wine
[ "$WINEARCH" = win32 ] || session_loader=$HOSTWEND_WINE64
timeout 60 "$session_loader" cmd /c exit </dev/null >/dev/null 2>&1 8>&- || true
# A 64-bit Windows runs 32-bit programs through Wine's other half, which the
# 64-bit start above does not touch: start it too, so that the first 32-bit
# program of the session does not pay for it inside a test's deadline.
if [ "$WINEARCH" != win32 ] && [ -n "$HOSTWEND_WINE32" ]; then
  timeout 60 "$HOSTWEND_WINE32" cmd /c exit </dev/null >/dev/null 2>&1 8>&- || true
fi
export HOSTWEND_WINE_SESSION=1
set +e
"$@"
rc=$?
set -e
exit $rc
