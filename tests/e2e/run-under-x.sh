#!/bin/bash
# Runs one end-to-end test in an X server of its own with a window manager:
#   run-under-x.sh PICTOLOOM_BINARY TEST_EXECUTABLE [test arguments...]
# The test finds the program to drive in PICTOLOOM_BINARY and copies it, with the renderer
# pictoloom-render beside it, into an application folder of its own. The X server, the window
# manager and everything still connected to them go when this script ends, however it ends.
set -u
if [ $# -lt 2 ]; then
    echo "usage: $0 PICTOLOOM_BINARY TEST_EXECUTABLE [test arguments...]" >&2
    exit 2
fi
pictoloom=$1
test_binary=$2
shift 2
# Below CTest's own timeout, so that this script always gets to clean up.
test_seconds=${PICTOLOOM_E2E_SECONDS:-200}

work=$(mktemp -d "${TMPDIR:-/tmp}/pictoloom-x.XXXXXX")
xvfb_pid=
wm_pid=
test_pid=

cleanup() {
    [ -n "$test_pid" ] && kill "$test_pid" 2>/dev/null
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    for pid in $wm_pid $xvfb_pid; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
    echo "run-under-x: $*" >&2
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}

[ -x "$(dirname "$pictoloom")/pictoloom-render" ] \
    || { echo "run-under-x: no pictoloom-render beside $pictoloom" >&2; exit 1; }

for tool in Xvfb openbox xdotool wmctrl xwininfo xprop; do
    command -v "$tool" > /dev/null || fail "$tool is not installed (scripts/test.sh installs it)"
done

# Xvfb picks a free display itself and writes its number once it accepts connections.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
    3> "$work/display" > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb stopped before it was ready"
    sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not report a display within 20 seconds"
export DISPLAY=":$(head -n 1 "$work/display")"

# A fixed, empty session: no desktop hints that would change Qt's dialogs or style.
unset XDG_CURRENT_DESKTOP XDG_SESSION_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION \
    GNOME_DESKTOP_SESSION_ID QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR \
    QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_FONT_DPI WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

openbox --sm-disable > "$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    kill -0 "$wm_pid" 2>/dev/null || fail "openbox stopped before it was ready"
    sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' \
    || fail "openbox did not take over the display within 20 seconds"

export PICTOLOOM_BINARY=$pictoloom
# Whatever the test leaves in temporary folders, even when killed, goes with this folder.
mkdir "$work/tmp"
export TMPDIR="$work/tmp"
timeout --kill-after=5 "$test_seconds" "$test_binary" "$@" &
test_pid=$!
wait "$test_pid"
status=$?
test_pid=
[ "$status" -eq 124 ] && echo "run-under-x: the test ran longer than $test_seconds seconds" >&2
exit "$status"
