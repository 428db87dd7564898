// SPDX-License-Identifier: GPL-3.0-or-later
// Small files with metadata, made in memory for the tests and benchmarks of fields read from
// files: a JPEG with an EXIF date taken and camera model, an MP3 with ID3v2 tags.
#pragma once

#include <string>

namespace zr::test {

// An EXIF APP1 segment holding the camera's model and DateTimeOriginal ("YYYY:MM:DD HH:MM:SS");
// an empty text leaves its tag out.
std::string exifSegment(const std::string& date, const std::string& model);
// A JPEG picture of 8x8 grey pixels with that segment (none when both are empty).
std::string jpegWithExif(const std::string& date, const std::string& model);

struct SongTags {
    std::string artist;
    std::string album;
    std::string title;
    std::string track;  // "3" or "3/12"
};
// A short MP3 (a few silent frames) with an ID3v2.3 tag of those tags; empty ones left out.
std::string mp3WithTags(const SongTags& tags);

}  // namespace zr::test
