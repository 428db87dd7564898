#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: built from the build tree, accepted by lintian without errors and with
# hardened binaries, with the library dependencies dpkg-shlibdeps found and the debug symbols in
# a -dbgsym package; unpacked into a temporary root, where the installed programs run
# (--version, a scan, a go and its undo on a small tree), the desktop entry, the file managers'
# entries and the AppStream metadata validate, the desktop entry starts the window on a folder
# under Xvfb, both manual pages render with their sections, the icons have their sizes (crisp
# where small, with margins where large) and the copyright file is machine-readable.
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
ddeb=$work/out/zentarel-renamer-dbgsym_${version}_$(dpkg --print-architecture).ddeb

# lintian: its full report is printed; any error fails the test.
if run lintian --fail-on error --display-info "$deb" >"$work/lintian.log" 2>&1; then
    ok "lintian reports no error"
else
    fail "lintian"
fi
sed 's/^/      /' "$work/lintian.log"
# Built with the hardening flags of dpkg-buildflags: lintian finds nothing missing, and each
# program calls fortified C library functions and has the stack protector.
if grep -q 'hardening-' "$work/lintian.log"; then
    fail "lintian finds binaries built without hardening"
else
    ok "lintian: hardened binaries"
fi

depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libexiv2 libicu libqt6core6 libqt6gui6 libqt6widgets6 libstdc++6 libtag; do
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
    usr/share/doc/zentarel-renamer/changelog.gz \
    usr/share/lintian/overrides/zentarel-renamer \
    usr/share/kio/servicemenus/zentarel-renamer.desktop \
    usr/share/nautilus-python/extensions/zentarel_renamer.py \
    usr/share/Thunar/sendto/zentarel-renamer.desktop \
    usr/share/nemo/actions/zentarel-renamer.nemo_action; do
    [ -f "$root/$file" ] || fail "not installed: $file"
done
# Each size drawn for itself: the small ones on whole pixels, the large one with margins.
checks() {
    python3 "$(dirname "$0")/package_checks.py" "$@"
}
before=$failures
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/zentarel-renamer.png
    case $(file -b "$png") in
        "PNG image data, $size x $size,"*) ;;
        *) fail "icon $size: $(file -b "$png")" ;;
    esac
done
for size in 16 22 24 32; do
    checks crisp "$root/usr/share/icons/hicolor/${size}x$size/apps/zentarel-renamer.png" ||
        fail "icon $size is not crisp"
done
checks margin "$root/usr/share/icons/hicolor/256x256/apps/zentarel-renamer.png" 8 ||
    fail "icon 256 has no margins"
[ "$failures" -eq "$before" ] && ok "icons: sizes, crisp up to 32, margins at 256"

for program in zentarel-renamer zentarel-renamer-cli; do
    symbols=$(nm -D --undefined-only "$root/usr/bin/$program")
    case $symbols in
        *__stack_chk_fail*) ;;
        *) fail "$program: no stack protector" ;;
    esac
    printf '%s\n' "$symbols" | grep -v __stack_chk_fail | grep -q '__[a-z_]*_chk@' ||
        fail "$program: no fortified function"
done

# Stripped programs, with their debug symbols in the -dbgsym package, found by build ID.
if [ -f "$ddeb" ] && dpkg -x "$ddeb" "$work/dbgsym"; then
    for program in zentarel-renamer zentarel-renamer-cli; do
        id=$(readelf -n "$root/usr/bin/$program" | sed -n 's/^ *Build ID: //p')
        debug=$work/dbgsym/usr/lib/debug/.build-id/$(printf %s "$id" | cut -c 1-2)/$(printf %s "$id" | cut -c 3-).debug
        if readelf -S "$root/usr/bin/$program" | grep -q '\.debug_info'; then
            fail "$program is not stripped"
        elif [ -z "$id" ] || ! readelf -S "$debug" 2>/dev/null | grep -q '\.debug_info'; then
            fail "no debug symbols of $program (build ID '$id') in $(basename "$ddeb")"
        else
            ok "$program stripped, its debug symbols in the -dbgsym package"
        fi
    done
else
    fail "no -dbgsym package: $(ls "$work/out" | tr '\n' ' ')"
fi

# The copyright file in Debian's machine-readable form, under the GPL version 3 or later.
copyright=$root/usr/share/doc/zentarel-renamer/copyright
before=$failures
[ "$(head -n 1 "$copyright")" = 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ] ||
    fail "copyright: $(head -n 1 "$copyright")"
for line in 'Upstream-Name: Zentarel Renamer' 'Source: https://.*' 'Files: \*' 'Copyright: [0-9]* Vornik' \
    'License: GPL-3+' ' On Debian systems, the complete text of the GNU General Public License' \
    ' version 3 can be found in "/usr/share/common-licenses/GPL-3".'; do
    grep -qx "$line" "$copyright" || fail "copyright lacks the line '$line'"
done
[ "$failures" -eq "$before" ] && ok "copyright in machine-readable form"

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
# The renamer is offered for folders in the file managers' menus, never made the program that
# opens folders.
metainfo=$root/usr/share/metainfo/example.vornik.ZentarelRenamer.metainfo.xml
if grep -l 'inode/directory' "$desktop" "$metainfo"; then
    fail "the desktop entry or the AppStream metadata claims folders (inode/directory)"
fi

# The file managers' entries: each valid in its own form, each starting the window on the one
# folder selected.
for entry in usr/share/kio/servicemenus/zentarel-renamer.desktop usr/share/Thunar/sendto/zentarel-renamer.desktop; do
    if out=$(desktop-file-validate "$root/$entry" 2>&1) && [ -z "$out" ]; then
        ok "desktop-file-validate $entry"
    else
        fail "desktop-file-validate $entry: $out"
    fi
    [ "$(grep -c '^Exec=zentarel-renamer %f$' "$root/$entry")" -eq "$(grep -c '^Exec=' "$root/$entry")" ] &&
        grep -qx 'MimeType=inode/directory;' "$root/$entry" || fail "$entry: not zentarel-renamer %f on a folder"
done
servicemenu=$root/usr/share/kio/servicemenus/zentarel-renamer.desktop
[ -x "$servicemenu" ] || fail "the Dolphin service menu is not executable"
grep -qx 'X-KDE-MaxNumberOfUrls=1' "$servicemenu" || fail "the Dolphin service menu is offered for several folders"
checks nemo "$root/usr/share/nemo/actions/zentarel-renamer.nemo_action" && ok "Nemo action" || fail "Nemo action"
extension=$root/usr/share/nautilus-python/extensions/zentarel_renamer.py
if python3 -m py_compile "$extension" && rm -rf "$(dirname "$extension")/__pycache__" &&
    checks nautilus "$extension"; then
    ok "Nautilus extension"
else
    fail "Nautilus extension"
fi

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
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$metainfo" || fail "AppStream: no project_license"
grep -q '<image type="source">https://[^<]*/screenshot.png</image>' "$metainfo" || fail "AppStream: no screenshot"

# Each page with a word of its own program's --help, and sections of its own on exit status,
# files and environment, each naming what matters most there.
manual_page() {
    name=$1 help=$2
    shift 2
    text=$(MANWIDTH=80 run man -l "$root/usr/share/man/man1/$name.1.gz" 2>"$work/man.err")
    case $text in
        *NAME*"$name"*SYNOPSIS*"$help"*--help*--version*"EXIT STATUS"*ENVIRONMENT*FILES*AUTHOR*) ;;
        *) fail "man -l $name: $(head -c 300 "$work/man.err")"; return ;;
    esac
    for word in "$@"; do
        case $text in
            *"$word"*) ;;
            *) fail "man -l $name does not name $word"; return ;;
        esac
    done
    ok "man -l $name"
}
manual_page zentarel-renamer FOLDER XDG_CONFIG_HOME XDG_STATE_HOME LC_TIME QT_QPA_PLATFORM \
    settings.reg undo.journal renamer.bat renamer_undo.bat renamer_failures.log
manual_page zentarel-renamer-cli --journal=FILE 130 XDG_STATE_HOME LC_TIME renamer.sh \
    renamer_undo.sh renamer.bat renamer_failures.log undo.journal TERM 'runs/go' --list \
    "'*.jpg;*.gif'" 'ěščřžýáíéúůťďĚŠČŘŽÝÁÍÉŮÚŤĎ' escrzyaieuutdESCRZYAIEUUTD FIELDS \
    '{taken:%Y-%m-%d %H.%M.%S}' '{track:2}' '{taken|modified:%Y%m%d}'

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
