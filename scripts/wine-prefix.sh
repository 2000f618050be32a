#!/usr/bin/env bash
# wine-prefix.sh create|start|stop <build dir>
# The build tree's own Wine prefix (never ~/.wine): created on first use, kept
# warm by a persistent wineserver while tests run, shut down after them.
set -u
cmd=${1:?create, start or stop} build=${2:?build dir}
. "$build/wine-env.sh"

create() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null
  wineserver -w
  # Settings of the test machine (fonts, crash handling): every .reg file here.
  for reg in "$S2M_SOURCE_DIR"/scripts/prefix.d/*.reg; do
    [ -f "$reg" ] && "$WINELOADER" regedit /S "$(winepath_of "$reg")" >/dev/null 2>&1 </dev/null
  done
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ]
}

winepath_of() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

case "$cmd" in
  create) create ;;
  start)
    create || { echo "wine-prefix: could not create $WINEPREFIX" >&2; exit 1; }
    # The desktop process started here serves every later window: give it the
    # test screen when one is up, else windows could never be shown.
    unset DISPLAY
    if [ -s "$build/xvfb.display" ] && kill -0 "$(cat "$build/xvfb.pid" 2>/dev/null)" 2>/dev/null; then
      DISPLAY=":$(cat "$build/xvfb.display")"; export DISPLAY
    fi
    # The services must not inherit ctest's output pipe, or ctest waits forever.
    (wineserver -p; "$WINELOADER" cmd /c exit) >/dev/null 2>&1 </dev/null
    echo "wine prefix $WINEPREFIX ($WINEARCH) ready"
    ;;
  stop) wineserver -k >/dev/null 2>&1; echo "wineserver stopped"; exit 0 ;;
  *) echo "usage: $0 create|start|stop <build dir>" >&2; exit 2 ;;
esac
