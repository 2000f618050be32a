#!/usr/bin/env bash
# check-exports.sh <dll> <objdump>: the DLL exports exactly the five COM
# server entry points, undecorated.
set -u
dll=$1 objdump=$2
want=$'DllCanUnloadNow\nDllGetClassObject\nDllInstall\nDllRegisterServer\nDllUnregisterServer'
got=$("$objdump" -p "$dll" | sed -n '/Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
if [ "$got" = "$want" ]; then echo "ok: exports"; echo "1 passed, 0 failed"; exit 0; fi
echo "FAIL: exports are:"; echo "$got"; echo "0 passed, 1 failed"; exit 1
