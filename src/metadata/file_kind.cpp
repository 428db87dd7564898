// SPDX-License-Identifier: GPL-3.0-or-later
#include "metadata/file_kind.h"

#include <array>
#include <string_view>

#include "platform/read_only_file.h"

namespace zr {

namespace {

using namespace std::string_view_literals;

constexpr std::size_t kHeadSize = 64;

struct Magic {
    std::size_t offset;
    std::string_view bytes;
    FileKind kind;
};

// Checked in order; the first match wins. WMA (ASF) files are left out: TagLib 1.13 loops over
// counts of up to 65535 attributes read from a few bytes, taking a good part of a second on a
// crafted file of 1 KB.
constexpr std::array kMagics{
    Magic{0, "\xFF\xD8\xFF"sv, FileKind::image},              // JPEG
    Magic{0, "\x89PNG\r\n\x1A\n"sv, FileKind::image},         // PNG
    Magic{0, "II*\0"sv, FileKind::image},                     // TIFF, DNG, NEF, CR2, ...
    Magic{0, "MM\0*"sv, FileKind::image},                     //   big-endian
    Magic{0, "IIRO"sv, FileKind::image},                      // ORF
    Magic{0, "IIRS"sv, FileKind::image},                      //   ORF
    Magic{0, "MMOR"sv, FileKind::image},                      //   ORF
    Magic{0, "IIU\0"sv, FileKind::image},                     // RW2
    Magic{6, "HEAPCCDR"sv, FileKind::image},                  // CRW
    Magic{0, "FUJIFILMCCD-RAW "sv, FileKind::image},          // RAF
    Magic{0, "\0MRM"sv, FileKind::image},                     // MRW
    Magic{0, "8BPS"sv, FileKind::image},                      // PSD
    Magic{0, "\0\0\0\x0CjP  \r\n\x87\n"sv, FileKind::image},  // JPEG 2000
    Magic{0, "GIF87a"sv, FileKind::image},                    // GIF
    Magic{0, "GIF89a"sv, FileKind::image},                    //   GIF
    Magic{0, "fLaC"sv, FileKind::flac},                       // FLAC
    Magic{0, "MAC "sv, FileKind::ape},                        // Monkey's Audio
    Magic{0, "wvpk"sv, FileKind::wavPack},                    // WavPack
    Magic{0, "MPCK"sv, FileKind::musepack},                   // Musepack SV8
    Magic{0, "MP+"sv, FileKind::musepack},                    //   SV7
};

// Brands of ISO base media files that hold a picture, which Exiv2 reads: HEIF, AVIF, Canon CR3.
constexpr std::array kImageBrands{"heic"sv, "heix"sv, "heim"sv, "heis"sv, "hevc"sv,
                                  "hevx"sv, "hevm"sv, "hevs"sv, "mif1"sv, "msf1"sv,
                                  "avif"sv, "avis"sv, "crx "sv};

// Boxes a QuickTime movie without a file type box starts with.
constexpr std::array kQuickTimeBoxes{"moov"sv, "mdat"sv, "free"sv, "skip"sv, "wide"sv, "pnot"sv};

bool at(std::string_view head, std::size_t offset, std::string_view bytes) {
    return head.size() >= offset + bytes.size() && head.substr(offset, bytes.size()) == bytes;
}

FileKind riffKind(std::string_view head) {
    if (at(head, 8, "WEBP"))
        return FileKind::image;
    if (at(head, 8, "WAVE"))
        return FileKind::wav;
    return FileKind::unknown;
}

// An Ogg stream by the codec of its first packet, which follows the first page's header (27
// bytes) and its segment table.
FileKind oggKind(std::string_view head) {
    if (head.size() < 27)
        return FileKind::unknown;
    const std::size_t packet = 27 + static_cast<unsigned char>(head[26]);
    if (at(head, packet, "\x01vorbis"))
        return FileKind::oggVorbis;
    if (at(head, packet, "OpusHead"))
        return FileKind::oggOpus;
    if (at(head, packet,
           "\x7F"
           "FLAC"))
        return FileKind::oggFlac;
    if (at(head, packet, "Speex   "))
        return FileKind::oggSpeex;
    return FileKind::unknown;
}

FileKind isoMediaKind(std::string_view head) {
    if (at(head, 4, "ftyp")) {
        for (std::string_view brand : kImageBrands) {
            if (at(head, 8, brand))
                return FileKind::image;
        }
        return FileKind::movie;
    }
    for (std::string_view box : kQuickTimeBoxes) {
        if (at(head, 4, box))
            return FileKind::movie;
    }
    return FileKind::unknown;
}

bool isMpegFrameSync(std::string_view head) {
    return head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF &&
           (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0;
}

// Behind an ID3v2 tag (header, the tag's syncsafe size, a footer when flagged): FLAC or MPEG.
FileKind afterId3(std::string_view head, const ReadOnlyFile& file) {
    if (head.size() < 10)
        return FileKind::unknown;
    std::int64_t size = 0;
    for (int i = 6; i < 10; ++i) {
        const auto b = static_cast<unsigned char>(head[i]);
        if (b & 0x80)
            return FileKind::unknown;
        size = (size << 7) | b;
    }
    const std::int64_t end = 10 + size + ((static_cast<unsigned char>(head[5]) & 0x10) ? 10 : 0);
    char next[4];
    if (file.readAt(end, next, sizeof next) == 4 && std::string_view(next, 4) == "fLaC")
        return FileKind::flac;
    return FileKind::mpegAudio;
}

}  // namespace

FileKind sniffFileKind(const ReadOnlyFile& file) {
    char buffer[kHeadSize];
    const ssize_t n = file.readAt(0, buffer, sizeof buffer);
    if (n <= 0)
        return FileKind::unknown;
    const std::string_view head(buffer, static_cast<std::size_t>(n));
    for (const Magic& magic : kMagics) {
        if (at(head, magic.offset, magic.bytes))
            return magic.kind;
    }
    if (at(head, 0, "RIFF"))
        return riffKind(head);
    if (at(head, 0, "FORM") && (at(head, 8, "AIFF") || at(head, 8, "AIFC")))
        return FileKind::aiff;
    if (at(head, 0, "OggS"))
        return oggKind(head);
    if (at(head, 0, "ID3"))
        return afterId3(head, file);
    if (isMpegFrameSync(head))
        return FileKind::mpegAudio;
    return isoMediaKind(head);
}

FileFieldSet fieldsOfKind(FileKind kind) {
    switch (kind) {
        case FileKind::unknown:
            return {};
        case FileKind::image:
            return kImageFields;
        case FileKind::movie: {
            FileFieldSet fields = kAudioFields;
            fields.add(FileField::taken);
            return fields;
        }
        default:
            return kAudioFields;
    }
}

}  // namespace zr
