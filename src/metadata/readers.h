// SPDX-License-Identifier: GPL-3.0-or-later
// The readers of each family of formats, over a file the field reader opened. Each fills only
// the fields it was asked for and that the file holds, and lets nothing its library throws
// escape. Private to the field reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "metadata/file_fields.h"
#include "metadata/file_kind.h"

namespace zr {

class ReadOnlyFile;

// What the libraries may read of one file: no single read larger than kMaxBlockBytes, no more
// than kMaxFileReadBytes in all, and no more than kMaxReadCalls reads, so a tag or metadata
// block that claims (or has) many megabytes, or a count of many thousand items in a few bytes,
// costs bounded memory and time. The libraries see a file that ends there; the fields before
// that point are still read. Pages of a mapped file are not counted: they are read only as far
// as they are touched.
inline constexpr std::size_t kMaxBlockBytes = 16 * 1024 * 1024;
inline constexpr std::int64_t kMaxFileReadBytes = 64 * 1024 * 1024;
inline constexpr int kMaxReadCalls = 50000;

class ReadBudget {
public:
    // How many of `wanted` bytes may be read now; counts them as read.
    std::size_t take(std::size_t wanted) {
        if (++m_calls > kMaxReadCalls)
            return 0;
        std::size_t allowed = wanted < kMaxBlockBytes ? wanted : kMaxBlockBytes;
        if (static_cast<std::int64_t>(allowed) > m_left)
            allowed = static_cast<std::size_t>(m_left);
        m_left -= static_cast<std::int64_t>(allowed);
        return allowed;
    }

private:
    std::int64_t m_left = kMaxFileReadBytes;
    int m_calls = 0;
};

// Sets the libraries up once for the process: their messages silenced, what must be set up
// before several threads use them.
void prepareImageLibrary();
void prepareAudioLibrary();

// Exiv2: the date taken, the camera and the picture's size.
void readImageFields(const ReadOnlyFile& file, FileFieldSet wanted, FileFields& values);
// TagLib: the music tags, of a file of `kind`.
void readAudioFields(const ReadOnlyFile& file, FileKind kind, FileFieldSet wanted,
                     FileFields& values);
// The creation time of an ISO base media or QuickTime movie, from its movie header ("mvhd"), as
// seconds since 1970 UTC; none when the file has none or it is 0 (unset).
std::optional<std::int64_t> movieCreationTime(const ReadOnlyFile& file);

}  // namespace zr
