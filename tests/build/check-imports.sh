#!/usr/bin/env bash
# The program runs elevated, so Windows must never look for its DLLs beside
# it. Fails unless every imported DLL is on Windows' KnownDLLs list (always
# mapped from System32) and it is a GUI-subsystem program.
set -euo pipefail
objdump=$1 exe=$2
dump=$("$objdump" -p "$exe")
status=0
grep -q 'Subsystem.*0*2.*(Windows GUI)' <<<"$dump" || { echo "not a GUI-subsystem program"; status=1; }
# KnownDLLs of Windows 7 to 11 that such a program may need.
known='^(kernel32|user32|gdi32|advapi32|comdlg32|ole32|oleaut32|shell32|shlwapi|msvcrt|imm32|psapi|rpcrt4|sechost|setupapi|shcore|ws2_32|combase)\.dll$'
while read -r dll; do
  if [[ ${dll,,} =~ $known ]]; then
    echo "ok      $dll"
  else
    echo "refused $dll (not a KnownDLL: Windows would look for it beside the program)"; status=1
  fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
exit $status
