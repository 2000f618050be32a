#!/usr/bin/env bash
# The host stand-in sends real scans from the shell: the UTF-16 list, the
# copies in the save folder, the launcher's command line, the delete flag.
set -u
build=${S2M_BUILD_DIR:?} run=${S2M_WINE_RUN:?}
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
fail=0
ok() { echo "ok: $1"; }
bad() { echo "FAIL: $1"; fail=1; }
work=$(mktemp -d "$build/send-standin.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/install" "$work/scans"
cp "$build/bin/Qstart12.exe" "$work/install/"
key='HKLM\SOFTWARE\Halden\e.Pallo\14.0'
dll=$(winpath "$build/dist/Scan2Mepla.dll")
"$run" regsvr32 /s "$dll" || { echo "FAIL: regsvr32"; exit 1; }
"$run" reg add "$key" /v InstPath /t REG_SZ /d "$(winpath "$work/install")" /f >/dev/null 2>&1

tag=$$
names=("名刺_$tag.png" "scan_$tag.png")
send() {  # send <host flag words...>: one send of fresh scans; prints the host's output
  rm -f "$work/install/Qstart12.cmdline.txt"
  local paths=()
  for n in "${names[@]}"; do printf 'PNG' >"$work/scans/$n"; paths+=("$(winpath "$work/scans/$n")"); done
  { printf '\xef\xbb\xbf'; printf '%s\n' "${paths[@]}"; } | iconv -f UTF-8 -t UTF-16LE >"$work/scans/list.txt"
  "$run" "$build/bin/tvohost.exe" create execute last "$(winpath "$work/scans/list.txt")" "$@" delete last 2>/dev/null | tr -d '\r'
  for _ in $(seq 100); do [ -s "$work/install/Qstart12.cmdline.txt" ] && break; sleep 0.1; done
}

out=$(send flag 1); echo "$out"
line=$(cat "$work/install/Qstart12.cmdline.txt" 2>/dev/null)
echo "launcher: $line"
printf '%s\n' "$out" | grep -q '^Sent the files of ' && ok "send with flag 1" || bad "send with flag 1"
case "$line" in
  "\"$(winpath "$work/install")\\Qstart12.exe\" \""*"\\名刺_$tag.png\" \""*"\\scan_$tag.png\"") ok "launcher got both copies" ;;
  *) bad "launcher command line: $line" ;;
esac
[ -f "$work/scans/${names[0]}" ] && ok "flag 1 keeps the scans" || bad "flag 1 deleted the scans"

out=$(send delete); echo "$out"
line=$(cat "$work/install/Qstart12.cmdline.txt" 2>/dev/null)
echo "launcher: $line"
case "$line" in
  *"\\名刺_${tag}_001.png\" \""*"\\scan_${tag}_001.png\"") ok "second send takes suffixed names" ;;
  *) bad "second send: $line" ;;
esac
[ ! -e "$work/scans/${names[0]}" ] && ok "delete removes the scans" || bad "delete kept the scans"

# The copies in the save folder (the prefix's My Pictures) are removed again.
saved=$(printf '%s' "$line" | grep -o '"[^"]*"' | tail -n +2 | head -1 | tr -d '"')
folder=$("$run" winepath -u "${saved%\\*}" 2>/dev/null | tr -d '\r')
[ -n "$folder" ] && rm -f "$folder"/*_"$tag".png "$folder"/*_"$tag"_001.png
"$run" reg delete "$key" /f >/dev/null 2>&1 || true
"$run" regsvr32 /s /u "$dll"
if [ $fail = 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $fail
