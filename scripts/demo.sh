#!/usr/bin/env bash
# Builds the plug-in and shows what it is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
dll=build/dist/Scan2Mepla.dll
echo "Built $dll:"
i686-w64-mingw32-objdump -f "$dll" | sed -n 's/.*file format /  format: /p'
i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^\s*DLL Name: /  imports: /p'
