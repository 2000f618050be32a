#!/usr/bin/env bash
# xvfb.sh start|stop <build dir>: a virtual screen for the tests that open
# windows.  The display number goes to <build dir>/xvfb.display.
set -u
cmd=${1:?start or stop} build=${2:?build dir}
num="$build/xvfb.display" pidf="$build/xvfb.pid"
case "$cmd" in
  start)
    rm -f "$num"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$num" </dev/null >/dev/null 2>&1 &
    echo $! >"$pidf"
    for _ in $(seq 100); do [ -s "$num" ] && break; sleep 0.1; done
    [ -s "$num" ] || { echo "Xvfb did not start" >&2; exit 1; }
    echo "Xvfb on :$(cat "$num")"
    ;;
  stop)
    [ -f "$pidf" ] && kill "$(cat "$pidf")" 2>/dev/null
    rm -f "$num" "$pidf"; exit 0 ;;
  *) echo "usage: $0 start|stop <build dir>" >&2; exit 2 ;;
esac
