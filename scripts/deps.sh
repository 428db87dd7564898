#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need; does nothing when they are present.
# Usage: scripts/deps.sh [extra package ...]
set -eu

# Besides the compiler and the libraries: help2man writes the manual pages and rsvg-convert the
# icons at build time; the package and its test need dpkg-dev (dpkg-shlibdeps), lintian,
# desktop-file-utils, appstream, man-db, file and python3 (the icons' pixels, the Nautilus
# extension), and xvfb, xauth and xdotool to start the window from its desktop entry; the
# completion test runs bash, zsh and fish. Exiv2 and TagLib read what files hold; the tests of
# that make their pictures, music and movies with ImageMagick, exiftool and ffmpeg, and compare
# with what exiftool reads (test tools only: the program needs none of them).
packages="g++ cmake ninja-build pkg-config make libicu-dev libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
libexiv2-dev libtag1-dev
help2man librsvg2-bin dpkg-dev lintian desktop-file-utils appstream man-db file python3 xvfb xauth xdotool zsh fish
imagemagick libimage-exiftool-perl ffmpeg $*"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "deps: missing packages:$missing; run this as root or install sudo" >&2
    exit 1
fi
echo "deps: installing$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends $missing
