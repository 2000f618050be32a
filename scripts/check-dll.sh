#!/usr/bin/env bash
# check-dll.sh <dll> <objdump>: the shipped DLL is a 32-bit PE that imports
# nothing but Windows system DLLs (no compiler runtime beside it).
set -u
dll=$1 objdump=$2
fail=0
format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
if [ "$format" = "pei-i386" ]; then echo "ok: $dll is PE32 (i386)"; else echo "FAIL: format is '$format', want pei-i386"; fail=1; fi
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|comdlg32|version|msvcrt|uxtheme|rpcrt4)\.dll$'
imports=$("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for i in $imports; do
  if [[ $i =~ $system_dlls ]] || [[ $i == api-ms-win-* ]]; then echo "ok: imports $i"; else echo "FAIL: imports $i, not a Windows system DLL"; fail=1; fi
done
if [ $fail = 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $fail
