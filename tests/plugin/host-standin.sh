#!/usr/bin/env bash
# The host stand-in drives the registered plug-in through the COM runtime.
set -u
build=${S2M_BUILD_DIR:?} run=${S2M_WINE_RUN:?}
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }
dll=$(winpath "$build/dist/Scan2Mepla.dll")
fail=0
check() {  # check <description> <expected line> <output>
  if printf '%s\n' "$3" | tr -d '\r' | grep -qxF -- "$2"; then echo "ok: $1"; else echo "FAIL: $1: no line '$2'"; fail=1; fi
}
"$run" regsvr32 /s "$dll" || { echo "FAIL: regsvr32 $dll"; exit 1; }
out=$("$run" "$build/bin/tvohost.exe" texts flags filetype PNG create summary last instance last delete last unsupported 2>/dev/null)
rc=$?
printf '%s\n' "$out"
[ $rc = 0 ] || { echo "FAIL: tvohost exit code $rc"; fail=1; }
check "plug-in name" "Plug-in name: Tessivo plug-in for メプラ" "$out"
check "send-to name" "Send to: Send to メプラ" "$out"
check "version" "Version: 1.2.42136.1" "$out"
check "flag B" "Flag B: no" "$out"
check "target missing" "Target application missing: yes" "$out"
check "png" 'File type "PNG" supported: yes' "$out"
check "summary without the target" "$(printf '%s' "$out" | tr -d '\r' | sed -n 's/^Created instance \(.*\)$/Summary of \1: "Install the メプラ."/p')" "$out"
check "unsupported" "Unsupported answered 0x80004001" "$out"
"$run" regsvr32 /s /u "$dll"
if [ $fail = 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; fi
exit $fail
