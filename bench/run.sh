#!/usr/bin/env bash
# Runs the benchmarks under Wine and prints their tables.
#   bash bench/run.sh [build-dir] [runs]
# Builds first if needed. Do not run it while the tests run in the same build
# tree: both use the plug-in's settings file in the tree's Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-15}
[ -f "$build/build.ninja" ] || cmake --preset default -B "$build"
cmake --build "$build" -j2 >/dev/null
tree=$build
[ -x "$build/wine64/wine-run" ] && tree=$build/wine64
run=$tree/wine-run
echo "Machine: $(uname -m), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $("${WINE:-wine64}" --version 2>/dev/null || echo wine) (tests tree: $(basename "$tree"))"
echo
echo "Settings file"
"$run" "$tree/bin/bench_settings.exe" "$runs" 2>/dev/null | tr -d '\r'
echo
echo "Start-up"
"$run" "$tree/bin/bench_startup.exe" "$runs" 2>/dev/null | tr -d '\r'
for extra in bench_send bench_names; do
  if [ -f "$tree/bin/$extra.exe" ]; then
    echo
    "$run" "$tree/bin/$extra.exe" "$runs" 2>/dev/null | tr -d '\r'
  fi
done
