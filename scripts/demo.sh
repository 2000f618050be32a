#!/usr/bin/env bash
# Builds the plug-in, then lets the host stand-in play Tessivo: register the
# DLL, create the plug-in through the COM runtime, print its texts, flags and
# the summary of a new setting instance, before and after the target
# application's launcher is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
dll=build/dist/Scan2Mepla.dll
echo "Built $dll:"
i686-w64-mingw32-objdump -f "$dll" | sed -n 's/.*file format /  format: /p'
i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^\s*DLL Name: /  imports: /p'

# The tree whose programs this machine's Wine runs (build/wine64 where
# 32-bit programs cannot run).
tree=build
[ -x build/wine64/wine-run ] && tree=build/wine64
run=$tree/wine-run
winpath() { printf 'Z:%s' "$(readlink -f "$1" | tr '/' '\\')"; }
host=$tree/bin/tvohost.exe
key='HKLM\SOFTWARE\Halden\e.Pallo\14.0'

echo
echo "== The host registers the plug-in ($tree/dist/Scan2Mepla.dll) and creates it"
"$run" regsvr32 /s "$(winpath "$tree/dist/Scan2Mepla.dll")"
"$run" reg delete "$key" /f >/dev/null 2>&1 || true
"$run" "$host" texts flags create summary last delete last 2>/dev/null | tr -d '\r'

echo
echo "== The same after the target application's launcher is installed"
"$run" reg add "$key" /v InstPath /t REG_SZ /d "$(winpath "$tree/bin")" /f >/dev/null 2>&1
"$run" "$host" flags create summary last instance last delete last 2>/dev/null | tr -d '\r'
"$run" reg delete "$key" /f >/dev/null 2>&1 || true
"$run" regsvr32 /s /u "$(winpath "$tree/dist/Scan2Mepla.dll")"
