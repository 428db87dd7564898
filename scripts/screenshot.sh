#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes docs/screenshot.png: starts the window under Xvfb, scans a small sample tree of photos
# with accented and upper-case names, two of whose renames would fail, driving the window from
# outside as a user would (mouse and keyboard through xdotool), rests the pointer on a row marked
# as failing so that its tooltip shows, and saves a picture of the window.
# Usage: scripts/screenshot.sh BUILD_DIR OUTPUT.png   (needs xvfb, xdotool and imagemagick)
set -eu

build=$1
output=$2
program=$build/src/ui/zentarel-renamer
cli=$build/src/cli/zentarel-renamer-cli
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

photos=$work/Photos
mkdir -p "$photos/Léto 2023"
# IMG_0042.JPG would become img0042.jpg, which is there already; KARLŮV MOST.JPG and Karlův most.jpg
# would both become karluv most.jpg.
for name in "Dovolená Šumava 001.JPG" "Ústí nad Labem.JPG" "Křivoklát #2.jpg" "IMG_0042.JPG" \
    "img0042.jpg" "Karlův most.jpg" "KARLŮV MOST.JPG" "notes.txt" "Léto 2023/Řeka Vltava.JPG" \
    "Léto 2023/Mělník.GIF"; do
    head -c $((2000 + ${#name} * 731)) /dev/zero >"$photos/$name"
done
touch -d "2023-07-14 16:42:10" "$photos"/* "$photos/Léto 2023"/*

# Xvfb picks a free display and writes its number to file descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x720x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY

XDG_CONFIG_HOME=$work/config HOME=$work LC_ALL=C.UTF-8 "$program" >/dev/null 2>&1 &
app_pid=$!
window=$(xdotool search --sync --name "Zentarel Renamer v0.3")
# The window is mapped before it takes input.
sleep 1.5

# Moves to a point of the window's client area, then does the rest of the xdotool command there.
at() { xdotool mousemove --window "$window" "$@"; }
# "&Restore defaults" from the popup menu: filters *.jpg;*.gif and the letters to convert.
at 40 440 click 3
sleep 0.5
xdotool key r
sleep 0.3
# The start directory.
at 150 18 click 1
xdotool key ctrl+a type --delay 2 "$photos/"
# "Kill char(s)", "Convert char(s)" and "Convert case" (lower case).
at 14 169 click 1
at 14 248 click 1
at 14 297 click 1
# Scan, then select the first row.
xdotool key alt+s
sleep 1
at 360 36 click 1
# The pointer rests on the new name of the first row marked as failing: the command line's table
# lists the same rows in the same order, with the reason in a last column.
marked=$("$cli" scan --filter '*.jpg;*.gif' --kill-chars '#_' --convert-chars --case lower \
    --case-range all --format table "$photos/" | awk 'NR > 1 && /  name taken$|  same new name$/ \
    { print NR - 2; exit }')
# At the right edge of the screen, so that the tooltip opens to the left, over the window.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool windowmove "$window" $((1024 - WIDTH)) 0
sleep 0.5
at 420 $((32 + 15 * ${marked:-0}))
sleep 2

# The tooltip is a window of its own: the picture is taken from the screen, cut to the window.
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$output"
echo "screenshot: $output"
