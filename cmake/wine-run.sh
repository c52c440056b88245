#!/bin/sh
# wine-run.sh [--own-display] PREFIX PROGRAM [ARG...]: runs a Windows program under Wine
# in the build's own prefix, creating the prefix and starting a persistent server first
# when needed. With --own-display its windows go to the prefix's own virtual display
# (wine-display.sh starts it), never to the user's screen.
# The server and Wine's service processes are started with no pipes and no lock
# attached: they would inherit a test's output and keep the test from ending, or hold
# the lock for as long as they live.
# No "set -e": a step that fails says so, rather than ending the test in silence.
fail() { echo "wine-run.sh: $*" >&2; exit 125; }
own_display=0
if [ "$1" = --own-display ]; then
    own_display=1
    shift
fi
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine writes file names in the locale's character set: without UTF-8 it cannot create
# a file whose name holds a character beyond ASCII.
export LC_ALL=C.UTF-8
if [ "$own_display" = 1 ]; then
    DISPLAY=$("$(dirname "$0")/wine-display.sh" number "$prefix") || fail "no display number for $prefix"
    export DISPLAY
fi
mkdir -p "$prefix" || fail "cannot make $prefix"
# Making the prefix and starting the server are best-effort: should either fail, wine
# makes or starts them itself.
(
    flock 9 || echo "wine-run.sh: no lock on $prefix.lock (status $?)" >&2
    if [ ! -f "$prefix/.carrowin-ready" ]; then
        wineboot -i </dev/null >/dev/null 2>&1 9>&-
        wineserver -w 9>&-
        touch "$prefix/.carrowin-ready"
    fi
    # Exit status 0 only when a new server was started (2: one is running already).
    # It outlives the last program by five minutes, enough to go from building to
    # testing, and the tests' own fixture stops it at their end.
    if wineserver -p300 </dev/null >/dev/null 2>&1 9>&-; then
        wine cmd /c ver </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$prefix.lock"
exec wine "$@"
