// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the fields a run's rules use from the files the walk meets.
#pragma once

#include <string>

#include "metadata/file_fields.h"

namespace zr {

class ReadOnlyFile;

// Made once per run with the fields its rules use; read() is then called for each entry, from
// any thread and from several at once. Each file is opened once for all its fields, read only
// as far as its format's library needs, and never written: links are not followed, pipes and
// devices are never opened, and a file's access time is left alone where the system lets the
// program say so. A file goes only to the library of the format its first bytes show, and only
// when the run wants a field that format holds: a run of music fields never asks the picture
// library anything, and a file of no known format is handed to none.
//
// Which library reads what:
//   taken, camera, width, height   pictures and camera raw files (Exiv2)
//   taken                          MP4 and QuickTime movies (the movie header's creation time,
//                                  which is UTC: given as this computer's local time)
//   artist, album, title, track,   MP3, FLAC, Ogg Vorbis/Opus/FLAC/Speex, MP4/M4A, WAV, AIFF,
//   disc, year, genre              APE, WavPack, Musepack (TagLib)
// Nothing the libraries say reaches the terminal, and nothing they throw escapes: a file a
// library cannot read is a file without those fields.
class FieldReader {
public:
    explicit FieldReader(FileFieldSet wanted);

    FileFieldSet wanted() const { return m_wanted; }

    // The fields of the entry `name` of the folder open as `folderFd` (AT_FDCWD: the working
    // directory). With no field wanted, nothing is opened.
    FileFields read(int folderFd, const std::string& name) const noexcept;
    // The fields of a file already open.
    FileFields read(const ReadOnlyFile& file) const noexcept;

private:
    FileFieldSet m_wanted;
};

}  // namespace zr
