#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the field reader's test corpus in the folder $1, with Debian's tools: ImageMagick for the
# pictures, exiftool for their EXIF and XMP, ffmpeg for music and movies with their tags. These
# tools serve the tests only; the program needs none of them. HEIF and AVIF pictures are made
# only where ImageMagick can write them.
set -eu
cd "$1"

convert -size 64x48 gradient:red-blue photo.jpg
cp photo.jpg digitized.jpg
cp photo.jpg xmp.jpg
convert -size 97x61 gradient:green-white plain.jpg
convert photo.jpg photo.png
convert -size 33x17 gradient:red-blue photo.tif
convert photo.jpg photo.webp
convert photo.jpg photo.heic 2>/dev/null || rm -f photo.heic
convert photo.jpg photo.avif 2>/dev/null || rm -f photo.avif

pictures="photo.jpg photo.png photo.tif photo.webp"
for f in photo.heic photo.avif; do
    [ -f "$f" ] && pictures="$pictures $f"
done
# One run of exiftool for all of them: its start-up is most of its time.
{
    for f in $pictures; do
        printf '%s\n' "-DateTimeOriginal=2021:06:15 10:20:30" "-OffsetTimeOriginal=+02:00" \
            "-Model=Nikon D/7000" "$f" -execute
    done
    printf '%s\n' "-CreateDate=2019:12:31 23:59:59" "-Model=Canon EOS 5D" digitized.jpg -execute
    printf '%s\n' "-XMP-exif:DateTimeOriginal=2020:02:29 12:00:00+05:30" "-XMP-tiff:Model=Pixel 7" \
        xmp.jpg -execute
} > exif.args
exiftool -@ exif.args -common_args -q -q -m -overwrite_original
rm exif.args

silence="-f lavfi -i anullsrc=r=8000:cl=mono -t 0.05"
tags="-metadata artist=Art/ist -metadata album=Alb -metadata title=Tit -metadata track=3/12
    -metadata disc=1/2 -metadata date=2019 -metadata genre=Rock"
for f in song.mp3 song.flac song.ogg song.opus song.m4a song.wav; do
    ffmpeg -v error -y $silence $tags "$f"
done
ffmpeg -v error -y $silence -id3v2_version 3 -metadata "artist=Zoë Ürban" \
    -metadata "title=$(printf ' .Ça/va\001 bien\177. ')" -metadata track=7 -metadata genre=Jazz \
    -metadata date=1987-05-01 id3v23.mp3
ffmpeg -v error -y $silence -metadata "title=$(printf 'AC/DC\002 live\033[31m')" control.flac
# An ID3v1 tag alone, in ISO 8859-1: fixed fields padded with NULs, the track in the comment's
# last byte, genre 0 (Blues).
ffmpeg -v error -y $silence -id3v2_version 0 id3v1.mp3
field() { printf "$1"; head -c "$2" /dev/zero; }
{
    printf TAG
    field 'Caf\351/Ol\351' 22
    field 'Someone' 23
    field 'Old Songs' 21
    printf 1999
    field '' 28
    printf '\000\005\000'
} >> id3v1.mp3

picture="-f lavfi -i testsrc=size=32x24:rate=5 -t 0.2"
ffmpeg -v error -y $picture -metadata creation_time=2021-06-15T10:20:30Z clip.mp4
ffmpeg -v error -y $picture -metadata creation_time=2018-03-04T05:06:07Z clip.mov
ffmpeg -v error -y $picture notime.mp4
