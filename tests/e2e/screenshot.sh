#!/bin/bash
# Takes the README's screenshot: starts pictoloom under Xvfb with the example paintings, picks
# one from the painting list, previews it and saves the window with its frame.
#   tests/e2e/screenshot.sh [PICTOLOOM_BINARY [OUTPUT_PNG [PAINTING_NAME]]]
# Defaults: build/pictoloom, docs/screenshot.png and "Rings". Needs the test packages
# (scripts/packages.sh) and ImageMagick.
set -eu
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${1:-}" != "--inside-x" ]; then
    binary=$(realpath "${1:-$source_dir/build/pictoloom}")
    output=$(realpath -m "${2:-$source_dir/docs/screenshot.png}")
    painting=${3:-Rings}
    [ -x "$binary" ] || { echo "no program at $binary: build it first" >&2; exit 1; }
    mkdir -p "$(dirname "$output")"
    PICTOLOOM_E2E_SECONDS=120 exec "$source_dir/tests/e2e/run-under-x.sh" "$binary" \
        "$0" --inside-x "$output" "$painting"
fi

# From here on, inside the X server that run-under-x.sh started.
output=$2
painting=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/pictoloom-shot.XXXXXX")
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

wait_for() {  # wait_for SECONDS COMMAND...: polls until COMMAND succeeds
    local tries=$(($1 * 10))
    shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
    echo "screenshot: gave up waiting for: $*" >&2
    return 1
}

mkdir -p "$work/app/paintings" "$work/home"
cp "$PICTOLOOM_BINARY" "$work/app/pictoloom"
cp "$(dirname "$PICTOLOOM_BINARY")/pictoloom-render" "$work/app/"
cp "$source_dir"/examples/paintings/*.js "$work/app/paintings/"
cp "$source_dir/examples/stdlib.js" "$work/app/stdlib.js"
[ -e "$work/app/paintings/$painting.js" ] || { echo "no example painting $painting" >&2; exit 1; }

(cd "$work/app" && HOME="$work/home" XDG_CONFIG_HOME="$work/home" exec ./pictoloom) &
app_pid=$!

find_window() { window=$(xdotool search --onlyvisible --pid "$app_pid" --name '^Pictoloom$' | head -n 1); [ -n "$window" ]; }
wait_for 30 find_window
xdotool windowactivate --sync "$window"
eval "$(xwininfo -id "$window" | sed -n \
    -e 's/^ *Absolute upper-left X: *\(-*[0-9]*\)/left=\1/p' \
    -e 's/^ *Absolute upper-left Y: *\(-*[0-9]*\)/top=\1/p' \
    -e 's/^ *Width: *\([0-9]*\)/width=\1/p' -e 's/^ *Height: *\([0-9]*\)/height=\1/p')"

pixel() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- | tail -n 1 | grep -o '#[0-9A-F]\{6\}' | head -n 1; }
background=$(pixel $((left + 1)) $((top + height - 2)))

# The painting list sits at the left end of the bottom row; its entries are "The Sketchbook"
# and then the paintings in name order.
position=$(ls "$work/app/paintings" | grep -v '^Sketchbook\.js$' | grep -n "^$painting\.js$" | cut -d: -f1)
xdotool mousemove $((left + 40)) $((top + height - 22)) click 1
sleep 1
for _ in $(seq "$position"); do xdotool key Down; done
xdotool key Return
sleep 0.5

xdotool windowactivate --sync "$window" key ctrl+r
picture_shown() { [ "$(pixel $((left + 100)) $((top + height / 2)))" != "$background" ]; }
wait_for 60 picture_shown
xdotool mousemove $((left + width - 200)) $((top + 60))
sleep 1

# The window with the frame the window manager drew around it.
read -r frame_left frame_right frame_top frame_bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS \
    | sed 's/.*= *//; s/,/ /g')
import -window root -crop "$((width + frame_left + frame_right))x$((height + frame_top + frame_bottom))+$((left - frame_left))+$((top - frame_top))" \
    +repage "$output"
echo "screenshot: wrote $output"
