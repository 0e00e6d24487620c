#!/usr/bin/env bash
# Fails when the program imports a DLL that is not part of Windows, or is
# not a GUI-subsystem program.
set -euo pipefail
objdump=$1 exe=$2
dump=$("$objdump" -p "$exe")
grep -q 'Subsystem.*0*2.*(Windows GUI)' <<<"$dump" || { echo "not a GUI-subsystem program"; exit 1; }
allowed='^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|ole32|oleaut32|shell32|shlwapi|uxtheme|windowscodecs|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
status=0
while read -r dll; do
  lower=${dll,,}
  if [[ $lower =~ $allowed ]]; then
    echo "ok      $dll"
  else
    echo "refused $dll"; status=1
  fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
exit $status
