#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: built from the build tree, accepted by lintian without errors, with the
# library dependencies dpkg-shlibdeps found; unpacked into a temporary root, where the installed
# programs run (--version, a scan, a go and its undo on a small tree), the desktop entry and the
# AppStream metadata validate, the desktop entry starts the window on a folder under Xvfb,
# both manual pages render and the icons have their sizes.
# Usage: package_test.sh BUILD_DIR VERSION
set -u
build=$1
version=$2
work=$PWD/package
failures=0

fail() {
    echo "FAIL  $*"
    failures=$((failures + 1))
}
ok() {
    echo "ok    $*"
}
# Every program the test starts runs in a process group of its own that is killed on timeout.
run() {
    timeout -k 5 120 "$@"
}

rm -rf "$work" && mkdir -p "$work" || exit 1

if ! run cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL  cpack"
    exit 1
fi
deb=$work/out/zentarel-renamer_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL  no package $deb"; exit 1; }
ok "package built: $(basename "$deb")"

# lintian: its full report is printed; any error fails the test.
if run lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1; then
    ok "lintian reports no error"
else
    fail "lintian"
fi
sed 's/^/      /' "$work/lintian.log"

depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libicu libqt6core6 libqt6gui6 libqt6widgets6 libstdc++6; do
    case "$depends" in
        *"$library"*) ok "depends on $library" ;;
        *) fail "Depends lacks $library: $depends" ;;
    esac
done

root=$work/root
dpkg -x "$deb" "$root" || { echo "FAIL  dpkg -x"; exit 1; }
for file in \
    usr/bin/zentarel-renamer \
    usr/bin/zentarel-renamer-cli \
    usr/share/applications/zentarel-renamer.desktop \
    usr/share/metainfo/example.vornik.ZentarelRenamer.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/zentarel-renamer.svg \
    usr/share/man/man1/zentarel-renamer.1.gz \
    usr/share/man/man1/zentarel-renamer-cli.1.gz \
    usr/share/bash-completion/completions/zentarel-renamer-cli \
    usr/share/zsh/vendor-completions/_zentarel-renamer-cli \
    usr/share/fish/vendor_completions.d/zentarel-renamer-cli.fish \
    usr/share/doc/zentarel-renamer/copyright \
    usr/share/doc/zentarel-renamer/changelog.gz; do
    [ -f "$root/$file" ] || fail "not installed: $file"
done
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/zentarel-renamer.png
    case $(file -b "$png") in
        "PNG image data, $size x $size,"*) ;;
        *) fail "icon $size: $(file -b "$png")" ;;
    esac
done

# The installed programs, from the temporary root.
cli=$root/usr/bin/zentarel-renamer-cli
window=$root/usr/bin/zentarel-renamer
for program in "$cli" "$window"; do
    name=$(basename "$program")
    first=$(run "$program" --version | head -n 1)
    [ "$first" = "$name (Zentarel Renamer) $version" ] || fail "$name --version: $first"
    run "$program" --help | grep -q "^Usage: $name" || fail "$name --help"
done
ok "--version and --help of both programs"

tree=$work/tree
mkdir -p "$tree/Trip" && touch "$tree/IMG_1.JPG" "$tree/Trip/IMG_2.JPG" "$tree/notes.txt"
rows=$(cd "$work" && run "$cli" scan --format tsv --filter '*.jpg' --case lower "$tree" 2>"$work/scan.err" |
    cut -f 1,2 | LC_ALL=C sort | tr '\t\n' '>|')
[ "$rows" = "IMG_1.JPG>img_1.jpg|IMG_2.JPG>img_2.jpg|" ] && ok "scan" || fail "scan: $rows"
(cd "$work" && run "$cli" go --filter '*.jpg' --case lower --journal "$work/j" "$tree" >"$work/go.out") &&
    [ -f "$tree/img_1.jpg" ] && [ -f "$tree/Trip/img_2.jpg" ] && ok "go" || fail "go: $(cat "$work/go.out")"
(cd "$work" && run "$cli" undo --journal "$work/j" >/dev/null) &&
    [ -f "$tree/IMG_1.JPG" ] && [ -f "$tree/Trip/IMG_2.JPG" ] && ok "undo" || fail "undo"

desktop=$root/usr/share/applications/zentarel-renamer.desktop
if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
    ok "desktop-file-validate"
else
    fail "desktop-file-validate: $out"
fi
grep -qx 'Exec=zentarel-renamer %f' "$desktop" || fail "the desktop entry's Exec"
grep -qx 'Categories=Utility;FileTools;Qt;' "$desktop" || fail "the desktop entry's Categories"

# Started as the desktop starts it: the entry's Exec with a folder for %f, under Xvfb. The
# remembered options (a store written as the window writes it) switch lower case on and name
# another start directory; the folder of the command line wins over it. Alt+G then renames the
# folder's photos, which shows on the disk that the window started there.
home=$work/home
photos="$work/desktop photos"
mkdir -p "$home/config/zentarel-renamer" "$home/state" "$photos" "$work/elsewhere"
touch "$photos/IMG_3.JPG" "$work/elsewhere/IMG_4.JPG"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Vornik]\n\n%s\n%s\n%s\n%s\n%s\n%s\n' \
    '[HKEY_CURRENT_USER\Software\Vornik\Zentarelrenamer]' '"ver"=dword:000003ed' \
    "\"ed8\"=\"$work/elsewhere/\"" '"ed11"="*.jpg"' '"ch17"=dword:00000001' '"cb18"=dword:00000000' \
    >"$home/config/zentarel-renamer/settings.reg"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
command=$(printf '%s' "$exec_line" | sed "s|^zentarel-renamer |$window |; s|%f|'$photos'|")
cat >"$work/desktop-start.sh" <<SCRIPT
#!/bin/sh
cd "$work"
$command &
window_pid=\$!
id=\$(timeout 30 xdotool search --sync --onlyvisible --name 'Zentarel Renamer' | head -n 1)
[ -n "\$id" ] && xdotool windowfocus --sync "\$id" key --clearmodifiers alt+g
for i in \$(seq 100); do
    [ -f '$photos/img_3.jpg' ] && break
    sleep 0.1
done
kill \$window_pid
wait \$window_pid 2>/dev/null
exit 0
SCRIPT
chmod +x "$work/desktop-start.sh"
XDG_CONFIG_HOME=$home/config XDG_STATE_HOME=$home/state HOME=$home QT_QPA_PLATFORM=xcb \
    run xvfb-run -a "$work/desktop-start.sh" >"$work/desktop-start.log" 2>&1
if [ -f "$photos/img_3.jpg" ] && [ -f "$work/elsewhere/IMG_4.JPG" ]; then
    ok "started from its desktop entry on a folder: Go renamed there"
else
    fail "started from its desktop entry: $(ls "$photos" "$work/elsewhere" | tr '\n' ' ') $(head -c 600 "$work/desktop-start.log")"
fi

if run appstreamcli validate --no-net --explain \
    "$root/usr/share/metainfo/example.vornik.ZentarelRenamer.metainfo.xml" >"$work/appstream.log" 2>&1; then
    ok "appstreamcli validate --no-net"
else
    fail "appstreamcli validate"
fi
sed 's/^/      /' "$work/appstream.log"

# Each page with a word of its own program's --help.
for page in "zentarel-renamer FOLDER" "zentarel-renamer-cli --journal=FILE"; do
    name=${page% *}
    text=$(MANWIDTH=80 run man -l "$root/usr/share/man/man1/$name.1.gz" 2>"$work/man.err")
    case $text in
        *NAME*"$name"*SYNOPSIS*"${page#* }"*--help*--version*AUTHOR*) ok "man -l $name" ;;
        *) fail "man -l $name: $(head -c 300 "$work/man.err")" ;;
    esac
done

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
