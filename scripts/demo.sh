#!/usr/bin/env bash
# The main job on a built-in demo: build, prepare the Wine prefix, register the
# plug-in, install the launcher stand-in as the target application, make a few
# PNG scans, write the host's UTF-16 file list and let the host stand-in run
# the send.  Prints the instance, the save folder, every copy, the launcher's
# command line and the plug-in's log lines.  Needs no display: no dialog opens
# when everything is in place (S2M_NEEDS_DISPLAY=keep lets one appear).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# S2M_BUILD_DIR picks another build tree than build/.
dir=${S2M_BUILD_DIR:-build}
echo "Building (cmake --preset default -B $dir) ..."
cmake --preset default -B "$dir" >/dev/null
cmake --build "$dir" -j2 >/dev/null

# The tree whose programs this machine's Wine runs ($dir/wine64 where
# 32-bit programs cannot run).
tree=$dir
[ -x "$dir/wine64/wine-run" ] && tree=$dir/wine64
tree=$(readlink -f "$tree")
run=$tree/wine-run
export S2M_NEEDS_DISPLAY=${S2M_NEEDS_DISPLAY:-0}
winpath() { printf 'Z:%s' "$(readlink -f "$1" | tr '/' '\\')"; }
unixpath() { "$run" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
wenv() { "$run" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }

echo "Wine prefix: $tree/wineprefix"
"$run" wineboot -i >/dev/null 2>&1 || true
programs=$(unixpath "$(wenv ProgramFiles)")

echo
echo "== Installing"
"$run" regsvr32 /s "$(winpath "$tree/dist/Scan2Mepla.dll")"
echo "Registered the plug-in $tree/dist/Scan2Mepla.dll (regsvr32)"
# The maker's log library where the plug-in looks for it.
mkdir -p "$programs/Torvane/Shared Files"
cp "$tree/dist/zelinfolog.dll" "$programs/Torvane/Shared Files/"
# The target application: the launcher stand-in under its registry key.
app="$programs/Halden/e.Pallo 14"
mkdir -p "$app"
cp "$tree/bin/Qstart12.exe" "$app/"
"$run" reg add 'HKLM\SOFTWARE\Halden\e.Pallo\14.0' /v InstPath /t REG_SZ /d "$(winpath "$app")" /f >/dev/null 2>&1
echo "Installed the launcher $(winpath "$app")\\Qstart12.exe (HKLM\\SOFTWARE\\Halden\\e.Pallo\\14.0 InstPath)"

# Three scans (1x1 PNGs), one with a Japanese name, and the host's list:
# UTF-16 little-endian, byte-order mark, one path a line.
scans="$tree/demo-scans"
mkdir -p "$scans"
names=("scan.png" "名刺_山田太郎.png" "receipt 2024.png")
paths=()
for n in "${names[@]}"; do
  printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\0\0\0\0\x3a\x7e\x9b\x55\0\0\0\nIDAT\x78\x9c\x63\x68\0\0\0\x82\0\x81\x77\xcd\x72\xb6\0\0\0\0IEND\xae\x42\x60\x82' >"$scans/$n"
  paths+=("$(winpath "$scans/$n")")
done
list="$scans/list.txt"
{ printf '\xef\xbb\xbf'; printf '%s\n' "${paths[@]}"; } | iconv -f UTF-8 -t UTF-16LE >"$list"
echo "Scans in $(winpath "$scans"): ${names[*]}"
echo "File list $(winpath "$list") (UTF-16 with byte-order mark, $(wc -c <"$list") bytes)"

log="$(unixpath "$(wenv LOCALAPPDATA)")/Torvane/Logs/S2Mepla_PLUGIN.log"
before=0
[ -f "$log" ] && before=$(wc -l <"$log")
cmdline="$app/Qstart12.cmdline.txt"
rm -f "$cmdline"

echo
echo "== The host stand-in creates an instance and sends the scans"
set +e
out=$("$run" "$tree/bin/tvohost.exe" create execute last "$(winpath "$list")" 2>/dev/null | tr -d '\r')
rc=$?
set -e
printf '%s\n' "$out" | sed 's/^/  /'
instance=$(printf '%s\n' "$out" | sed -n 's/^Created instance //p')
for _ in $(seq 100); do [ -s "$cmdline" ] && break; sleep 0.1; done

echo
echo "== What happened"
echo "Instance: ${instance:-(none)}"
if [ -s "$cmdline" ]; then
  line=$(cat "$cmdline")
  copies=$(printf '%s' "$line" | grep -o '"[^"]*"' | tail -n +2 | tr -d '"')
  first=$(printf '%s\n' "$copies" | head -1)
  echo "Save folder: ${first%\\*}\\ (the instance's default: My Pictures)"
  echo "Copies made:"
  printf '%s\n' "$copies" | while IFS= read -r c; do echo "  $c"; done
  echo "The launcher received the command line:"
  echo "  $line"
else
  echo "The launcher was not started (host exit code $rc)."
fi
echo "The plug-in's log ($(wenv LOCALAPPDATA)\\Torvane\\Logs\\S2Mepla_PLUGIN.log), this run:"
if [ -f "$log" ]; then
  tail -n +"$((before + 1))" "$log" | tr -d '\r' | sed 's/^[^ ]* [^ ]* pid=[0-9]* tid=[0-9]* /  /'
fi
echo
echo "Run it again: the same scans get the next free names (scan_001.png ...)."
exit $rc
