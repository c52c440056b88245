#!/usr/bin/env bash
# on-virtual-display.sh COMMAND [ARG...]: runs COMMAND as on a desktop, on a virtual X
# display of its own (Xvfb, on the first free number) with a window manager (openbox)
# that frames the windows, and a session bus on which the accessibility bus starts
# (at-spi2-core), as a screen reader finds it. Ends them all with COMMAND.
fail() { echo "on-virtual-display.sh: $*" >&2; exit 1; }
for tool in Xvfb openbox dbus-run-session xprop gdbus; do
    command -v "$tool" >/dev/null || fail "$tool is missing: bash scripts/setup.sh dev installs it"
done
work=$(mktemp -d) || fail "no temporary folder"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null >/dev/null 2>&1 &
xvfb=$!
tries=0
while [ ! -s "$work/display" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
[ -s "$work/display" ] || { kill $xvfb; rm -rf "$work"; fail "Xvfb did not start"; }
DISPLAY=:$(cat "$work/display")
export DISPLAY
# The manager, ready once it names itself on the root window.
HOME="$work" openbox --sm-disable </dev/null >/dev/null 2>&1 &
wm=$!
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    [ $tries -lt 100 ] || { kill $wm $xvfb; rm -rf "$work"; fail "openbox did not start"; }
    sleep 0.1
    tries=$((tries + 1))
done
export CARROWIN_WINDOW_MANAGER=openbox XDG_RUNTIME_DIR="$work"
# The accessibility bus and its registry start before the program, which finds them as
# it starts; the bus's own daemons end with the session.
dbus-run-session -- sh -c '
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress >/dev/null || exit 1
    exec "$@"' sh "$@" 2>&1 | grep -v '^dbus-daemon\[[0-9]*\]\|^SpiRegistry daemon'
status=${PIPESTATUS[0]}
kill $wm $xvfb 2>/dev/null
wait $wm $xvfb 2>/dev/null
rm -rf "$work"
exit $status
