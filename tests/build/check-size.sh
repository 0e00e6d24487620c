#!/usr/bin/env bash
# A released program stays within its size: what it does not use (a C++ name
# demangler once came in with the runtime's default terminate handler) is
# noticed when it comes in, not in the next benchmark.
#   check-size.sh PROGRAM MOST_BYTES
set -euo pipefail
program=$1 most=$2
size=$(stat -c %s "$program")
if [ "$size" -gt "$most" ]; then
  echo "refused $(basename "$program"): $size bytes, more than $most"
  exit 1
fi
echo "$(basename "$program"): $size bytes, at most $most"
