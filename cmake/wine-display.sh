#!/bin/sh
# wine-display.sh number|start|stop PREFIX: the virtual X display (Xvfb) on which the
# Wine prefix's windows appear in the tests. "start" also restarts Wine's server, so that
# Wine's own processes know the display; "stop" ends both.
set -e
action=$1
prefix=$2
# A display number of this prefix's own, so that two builds do not share one.
number=$((100 + $(printf '%s' "$prefix" | cksum | cut -d' ' -f1) % 800))
pidfile="$prefix.xvfb"
case "$action" in
number)
    echo ":$number"
    ;;
start)
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    if ! kill -0 "$(cat "$pidfile" 2>/dev/null)" 2>/dev/null; then
        command -v Xvfb >/dev/null || { echo "Xvfb is missing: bash scripts/setup.sh windows installs it" >&2; exit 1; }
        Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        echo $! >"$pidfile"
        tries=0
        while [ ! -S "/tmp/.X11-unix/X$number" ] && [ $tries -lt 100 ]; do
            sleep 0.1
            tries=$((tries + 1))
        done
    fi
    # No window manager runs there: Wine draws the windows' frames itself and does not
    # wait (a second each time) for a manager to take or release a window.
    "$(dirname "$0")/wine-run.sh" --own-display "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /d N /f >/dev/null
    ;;
stop)
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    kill "$(cat "$pidfile" 2>/dev/null)" 2>/dev/null || true
    rm -f "$pidfile"
    ;;
esac
