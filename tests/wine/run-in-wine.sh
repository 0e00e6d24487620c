#!/usr/bin/env bash
# CTest's emulator for the Windows build: runs a test program under Wine,
# inside the caller's Wine session or, when there is none, a session of its own.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
if [ "${HOSTWEND_WINE_SESSION:-}" = 1 ]; then
  exec wine "$@"
fi
exec "$root/scripts/wine-session.sh" wine "$@"
