#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshots: starts the window under Xvfb with the desktop's font at 9, 12
# and 16 points, scans a few holiday photos in "/home/ann/Pictures/Holiday 2026/" (with accented
# and upper-case names, two of whose renames would fail), rests the pointer on a row marked as
# failing so that its tooltip shows, and saves DOCS_DIR/screenshot.png (9 points),
# screenshot-12pt.png and screenshot-16pt.png; then scans a camera's files with rules of "More
# rules" on and saves screenshot-rules-on.png and the dialog, more-rules.png. The photos lie in
# a /home of its own, mounted in a private mount namespace, so the real /home is never touched.
# Usage: scripts/screenshot.sh BUILD_DIR DOCS_DIR
# (needs xvfb, xdotool and imagemagick, and root or unprivileged user namespaces)
set -eu

if [ -z "${ZR_SCREENSHOT_NAMESPACE:-}" ]; then
    build=$(realpath "$1")
    docs=$(realpath "$2")
    if [ "$(id -u)" -eq 0 ]; then
        exec env ZR_SCREENSHOT_NAMESPACE=1 unshare --mount --propagation private "$0" "$build" "$docs"
    fi
    exec env ZR_SCREENSHOT_NAMESPACE=1 unshare --map-root-user --mount --propagation private \
        "$0" "$build" "$docs"
fi
build=$1
docs=$2
program=$build/src/ui/zentarel-renamer
cli=$build/src/cli/zentarel-renamer-cli
mount -t tmpfs tmpfs /home
home=/home/ann
photos="$home/Pictures/Holiday 2026"
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$photos/Day 2"
camera="$home/Pictures/Camera"
mkdir -p "$camera"
for name in IMG_0042.JPG IMG_0043.JPG IMG_0044.JPG IMG_0051.JPG IMG_0107.JPG DSC_0001.JPG notes.txt; do
    head -c $((1500000 + ${#name} * 7919)) /dev/zero >"$camera/$name"
done
touch -d "2026-07-15 09:12:44" "$camera"/*
# IMG_0042.JPG would become img0042.jpg, which is there already; KARLŮV MOST.JPG and Karlův most.jpg
# would both become karluv most.jpg.
for name in "Dovolená Šumava 001.JPG" "Ústí nad Labem.JPG" "Křivoklát #2.jpg" "IMG_0042.JPG" \
    "img0042.jpg" "Karlův most.jpg" "KARLŮV MOST.JPG" "notes.txt" "Day 2/Řeka Vltava.JPG" \
    "Day 2/Mělník.GIF"; do
    head -c $((2000 + ${#name} * 731)) /dev/zero >"$photos/$name"
done
touch -d "2026-07-14 16:42:10" "$photos"/* "$photos/Day 2"/*

# Xvfb picks a free display and writes its number to file descriptor 3.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
DISPLAY=:$(cat "$work/display")
export DISPLAY

# The last row marked as failing, whose tooltip leaves the marks above it in sight: the command
# line's table lists the same rows in the same order, with the reason in a last column.
marked=$("$cli" scan --filter '*.jpg;*.gif' --kill-chars '#_' --convert-chars --case lower \
    --case-range all --format table "$photos/" | awk 'NR > 1 && /  name taken$|  same new name$/ \
    { last = NR - 2 } END { print last }')

# Design pixels to pixels at the font of the last start().
s() { echo "$1" | awk -v p="$pixels" '{ printf "%d", $1 * p / 12 + 0.5 }'; }

# start POINTS PIXELS STORE_LINES: the desktop font is DejaVu Sans at POINTS points (PIXELS
# pixels), set as a KDE desktop sets it, and the window scales its layout by PIXELS / 12. The
# store holds what the window remembers from last time: a wider window with readable columns,
# and the options of STORE_LINES. The window is started at the right edge of the screen, so that
# tooltips open to the left, over it, and is given the keyboard.
start() {
    points=$1
    pixels=$2
    rm -rf "$home/.config"
    mkdir -p "$home/.config/zentarel-renamer"
    printf '[General]\nfont=DejaVu Sans,%s,-1,5,50,0,0,0,0,0\n' "$points" >"$home/.config/kdeglobals"
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vornik\\Zentarelrenamer]\r\n' \
        >"$home/.config/zentarel-renamer/settings.reg"
    {
        printf '"ver"=dword:000003ed\r\n"vx"=dword:%08x\r\n"px"=dword:00000000\r\n"py"=dword:00000000\r\n' \
            "$(s 960)"
        printf '"rx0"=dword:%08x\r\n"rx1"=dword:%08x\r\n"rx2"=dword:%08x\r\n"rx3"=dword:%08x\r\n"rx4"=dword:%08x\r\n' \
            "$(s 190)" "$(s 190)" "$(s 60)" "$(s 70)" "$(s 70)"
        printf '%s\n' "$3"
    } >>"$home/.config/zentarel-renamer/settings.reg"

    (cd "$home" && HOME=$home XDG_CONFIG_HOME=$home/.config XDG_STATE_HOME=$home/.local/state \
        XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 LC_ALL=C.UTF-8 exec "$program") \
        >/dev/null 2>&1 &
    app_pid=$!
    window=$(xdotool search --sync --name "Zentarel Renamer v0.3")
    # The window is mapped before it takes input.
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool windowmove "$window" $((1920 - WIDTH)) 0
    sleep 0.5
    # A click on the label "Options" gives the window the keyboard.
    at 20 422
    xdotool click 1
}

at() { xdotool mousemove --window "$window" "$(s "$1")" "$(s "$2")"; }

# shot WINDOW OUTPUT: the picture is taken from the screen, cut to the window, so that a tooltip
# (a window of its own) is in it.
shot() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
    echo "screenshot: $2"
}

stop() {
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
}

# shoot POINTS PIXELS OUTPUT: "Kill char(s)", "Convert char(s)" and "Convert case" (lower case,
# whole name); after a Scan, the first row selected and the pointer on the new name of the last
# row marked as failing.
shoot() {
    pixels=$2
    start "$1" "$2" "$(
        printf '"ed8"="%s/"\r\n"ed11"="*.jpg;*.gif"\r\n"ch28"=dword:00000001\r\n"ed27"="#_"\r\n' "$photos"
        printf '"ch24"=dword:00000001\r\n"ed25"="ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ"\r\n"ed26"="escrzyaieuutdESCRZYAIEUUTD"\r\n'
        printf '"ch17"=dword:00000001\r\n"cb18"=dword:00000000\r\n"ch21"=dword:00000001\r\n'
    )"
    xdotool key alt+s
    sleep 1
    at 400 36
    xdotool click 1
    at 420 $((32 + 15 * ${marked:-0}))
    sleep 2
    shot "$window" "$3"
    stop
}

# shoot_rules WINDOW_OUTPUT DIALOG_OUTPUT: pattern replace and unique names from "More rules",
# with "Convert case" (lower case, only in the extension), over the camera's files; the window
# after a Scan with the pointer on the sign of the rules, then the dialog opened by its shortcut.
shoot_rules() {
    pixels=12
    start 9 12 "$(
        printf '"ed8"="%s/"\r\n"ed11"="*.jpg"\r\n"ch17"=dword:00000001\r\n"cb18"=dword:00000000\r\n' "$camera"
        printf '"ch21"=dword:00000000\r\n"ch22"=dword:00000001\r\n"pattern-replace"=dword:00000001\r\n'
        printf '"pattern"="^IMG_(\\\\d+)"\r\n"replace"="Holiday 2026 {n:3} ($1)"\r\n"unique"=dword:00000001\r\n'
    )"
    xdotool key alt+s
    sleep 1
    at 40 402
    sleep 2
    shot "$window" "$1"
    at 400 300
    xdotool key ctrl+m
    dialog=$(xdotool search --sync --name "^More rules\$")
    sleep 1
    shot "$dialog" "$2"
    stop
}

shoot 9 12 "$docs/screenshot.png"
shoot 12 16 "$docs/screenshot-12pt.png"
shoot 16 21 "$docs/screenshot-16pt.png"
shoot_rules "$docs/screenshot-rules-on.png" "$docs/more-rules.png"
