// SPDX-License-Identifier: GPL-3.0-or-later
// The creation time of an MP4 or QuickTime movie, from its movie header box. No Debian library
// serves this well: Exiv2's video reader takes QuickTime files but hands ISO MP4 files to its
// HEIF reader, which finds nothing; TagLib does not read the header; MediaInfo would bring a
// network client along for one number. The boxes are few and simple, so they are walked here,
// reading only the 8 or 16 bytes of each box header on the way (a movie's media data is
// skipped, never read), with the count of boxes bounded.
#include <cstring>

#include "metadata/readers.h"
#include "platform/read_only_file.h"

namespace zr {

namespace {

// Seconds from 1904-01-01, where the format counts from, to 1970-01-01.
constexpr std::int64_t kSeconds1904To1970 = 2082844800;
// Boxes looked at on one level before giving up: a real file has a handful.
constexpr int kMaxBoxes = 1024;

struct Box {
    std::int64_t contentBegin;
    std::int64_t end;
};

std::uint64_t bigEndian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

// The first box of `type` among the boxes from `begin` to `end`; none when there is none or a
// box header on the way does not fit where it stands.
std::optional<Box> findBox(const ReadOnlyFile& file, std::int64_t begin, std::int64_t end,
                           const char* type) {
    std::int64_t at = begin;
    for (int count = 0; count < kMaxBoxes && end - at >= 8; ++count) {
        unsigned char header[16];
        if (file.readAt(at, header, 8) != 8)
            return std::nullopt;
        std::uint64_t size = bigEndian(header, 4);
        std::int64_t headerSize = 8;
        if (size == 1) {
            if (end - at < 16 || file.readAt(at + 8, header + 8, 8) != 8)
                return std::nullopt;
            size = bigEndian(header + 8, 8);
            headerSize = 16;
        } else if (size == 0) {
            size = static_cast<std::uint64_t>(end - at);  // the box runs to the end
        }
        if (size < static_cast<std::uint64_t>(headerSize) ||
            size > static_cast<std::uint64_t>(end - at))
            return std::nullopt;
        if (std::memcmp(header + 4, type, 4) == 0)
            return Box{at + headerSize, at + static_cast<std::int64_t>(size)};
        at += static_cast<std::int64_t>(size);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> movieCreationTime(const ReadOnlyFile& file) {
    const std::optional<Box> movie = findBox(file, 0, file.size(), "moov");
    if (!movie)
        return std::nullopt;
    const std::optional<Box> header = findBox(file, movie->contentBegin, movie->end, "mvhd");
    if (!header)
        return std::nullopt;
    // A version byte and three of flags, then the creation time: 32 bits in version 0, 64 in 1.
    unsigned char bytes[12];
    const std::int64_t length = header->end - header->contentBegin;
    if (length < 8 || file.readAt(header->contentBegin, bytes, 4) != 4)
        return std::nullopt;
    const int width = bytes[0] == 1 ? 8 : 4;
    if (bytes[0] > 1 || length < 4 + width ||
        file.readAt(header->contentBegin + 4, bytes + 4, width) != width)
        return std::nullopt;
    const std::uint64_t created = bigEndian(bytes + 4, width);
    // 0 is what a recorder that knows no time writes; beyond 2^62 is no time at all.
    if (created == 0 || created > (std::uint64_t{1} << 62))
        return std::nullopt;
    return static_cast<std::int64_t>(created) - kSeconds1904To1970;
}

}  // namespace zr
