// SPDX-License-Identifier: GPL-3.0-or-later
// What kind of file a file is, by the bytes it starts with (never by its name: a photo named
// ".mp3" is still a photo), so that each file goes only to the library that reads its format and
// a file of no known format goes to none.
#pragma once

#include <cstdint>

#include "metadata/file_fields.h"

namespace zr {

class ReadOnlyFile;

enum class FileKind : std::uint8_t {
    unknown,
    image,      // a picture or camera raw file: JPEG, PNG, WebP, TIFF and the raw formats on it,
                // HEIF/AVIF/CR3, GIF, PSD, JPEG 2000, ...
    movie,      // ISO base media (MP4, M4A, 3GP) or QuickTime
    mpegAudio,  // MP3 (also behind an ID3v2 tag), AAC in ADTS
    flac,
    oggVorbis,
    oggOpus,
    oggFlac,
    oggSpeex,
    wav,
    aiff,
    ape,
    wavPack,
    musepack,
};

// The kind of a file from its first 64 bytes, and behind an ID3v2 tag the bytes that follow it.
// A file that cannot be read is of no kind.
FileKind sniffFileKind(const ReadOnlyFile& file);

// The fields a file of that kind can hold.
FileFieldSet fieldsOfKind(FileKind kind);

}  // namespace zr
