#!/usr/bin/env bash
# What a released program imports must be there on every Windows it supports,
# and must be found where only the system can put it.
#   check-imports.sh OBJDUMP ALLOWED_LIST gui|console PROGRAM
# Fails unless the program has the given subsystem, every imported DLL is on
# Windows' KnownDLLs list (always mapped from System32: the window runs
# elevated, so Windows must never look for its DLLs beside it), and every
# imported function is on ALLOWED_LIST with a Windows no newer than Windows 7
# SP1 without updates.
set -euo pipefail
objdump=$1 allowed=$2 subsystem=$3 exe=$4
dump=$("$objdump" -p "$exe")
status=0
fail() { echo "refused $*"; status=1; }

case $subsystem in
  gui) grep -q 'Subsystem.*(Windows GUI)' <<<"$dump" || fail "subsystem: not a GUI program" ;;
  console) grep -q 'Subsystem.*(Windows CUI)' <<<"$dump" || fail "subsystem: not a console program" ;;
  *) echo "usage: $0 OBJDUMP ALLOWED_LIST gui|console PROGRAM" >&2; exit 2 ;;
esac
# The console program has no window: loading user32 and gdi32 would cost each
# of its starts on a whole network of computers for nothing.
if [ "$subsystem" = console ] && grep -Eiq 'DLL Name: (user32|gdi32)\.dll' <<<"$dump"; then
  fail "user32.dll or gdi32.dll: a console program shows no window"
fi
# Delay-loaded imports are not in the import table read below.
grep -Eq '^Entry d 0+ 0+ Delay Import Directory' <<<"$dump" || fail "delay-loaded imports: not checked here"

# KnownDLLs of Windows 7 to 11 that such a program may need.
known='^(kernel32|user32|gdi32|advapi32|comdlg32|ole32|oleaut32|shell32|shlwapi|msvcrt|imm32|psapi|rpcrt4|sechost|setupapi|shcore|ws2_32|combase)\.dll$'
# The Windows versions up to 7 SP1, as the list names them.
old_enough='^(2000|XP|XP-SP1|Vista|7|7-SP1)$'

declare -A oldest
while read -r dll function windows _; do
  [[ -z $dll || $dll == \#* ]] && continue
  oldest["${dll,,} $function"]=$windows
done <"$allowed"

# objdump lists each DLL's imports as "<vma> <hint> <name>" lines under its
# "DLL Name:" line, up to a blank line; an import by ordinal has no name.
imports=$(awk '/^\tDLL Name: /{dll=tolower($3); print dll; next}
               /^$/{dll=""}
               dll!="" && /^\t[0-9a-f]+\t *[0-9]+ /{print dll, ($3 == "<none>" ? "#" $2 : $3)}' <<<"$dump")
[ -n "$imports" ] || fail "no import table found"
functions=0 dlls=0
while read -r dll function; do
  if [ -z "$function" ]; then
    dlls=$((dlls + 1))
    [[ $dll =~ $known ]] || fail "$dll (not a KnownDLL: Windows would look for it beside the program)"
    continue
  fi
  functions=$((functions + 1))
  windows=${oldest["$dll $function"]:-}
  if [ -z "$windows" ]; then
    fail "$dll $function: not in $(basename "$allowed")"
  elif ! [[ $windows =~ $old_enough ]]; then
    fail "$dll $function: needs Windows $windows; look it up at run time, with a fallback"
  fi
done <<<"$imports"

[ $status -eq 0 ] && echo "imports ok: $functions functions from $dlls DLLs in $(basename "$exe")"
exit $status
