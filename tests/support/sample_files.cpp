// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/sample_files.h"

#include <cstdint>

namespace zr::test {

namespace {

// A grey picture of 8x8 pixels as ImageMagick writes it (JFIF, quality 50, no metadata).
constexpr std::uint8_t kGreyJpeg[] = {
    0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00, 0x10, 0x0b, 0x0c, 0x0e, 0x0c, 0x0a, 0x10,
    0x0e, 0x0d, 0x0e, 0x12, 0x11, 0x10, 0x13, 0x18, 0x28, 0x1a, 0x18, 0x16, 0x16, 0x18, 0x31, 0x23,
    0x25, 0x1d, 0x28, 0x3a, 0x33, 0x3d, 0x3c, 0x39, 0x33, 0x38, 0x37, 0x40, 0x48, 0x5c, 0x4e, 0x40,
    0x44, 0x57, 0x45, 0x37, 0x38, 0x50, 0x6d, 0x51, 0x57, 0x5f, 0x62, 0x67, 0x68, 0x67, 0x3e, 0x4d,
    0x71, 0x79, 0x70, 0x64, 0x78, 0x5c, 0x65, 0x67, 0x63, 0xff, 0xc0, 0x00, 0x0b, 0x08, 0x00, 0x08,
    0x00, 0x08, 0x01, 0x01, 0x11, 0x00, 0xff, 0xc4, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0xff, 0xc4, 0x00, 0x14,
    0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xff, 0xda, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3f, 0x00, 0x1f, 0xff, 0xd9};

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void put32(std::string& out, unsigned v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putEntry(std::string& out, unsigned tag, unsigned type, unsigned count, unsigned value) {
    put16(out, tag);
    put16(out, type);
    put32(out, count);
    put32(out, value);
}

void putBigEndian(std::string& out, std::uint32_t v, int bytes, int bitsPerByte = 8) {
    for (int i = bytes - 1; i >= 0; --i)
        out += static_cast<char>((v >> (i * bitsPerByte)) & ((1u << bitsPerByte) - 1));
}

}  // namespace

std::string exifSegment(const std::string& date, const std::string& model) {
    // Little-endian TIFF: IFD0 with the model and a pointer to the Exif IFD with the date.
    constexpr unsigned kAscii = 2;
    constexpr unsigned kLong = 4;
    const unsigned ifd0 = 8;
    const unsigned exifIfd = ifd0 + 2 + 2 * 12 + 4;
    const unsigned modelAt = exifIfd + 2 + 12 + 4;
    const unsigned dateAt = modelAt + static_cast<unsigned>(model.size()) + 1;
    std::string tiff = "II*";
    tiff += '\0';
    put32(tiff, ifd0);
    put16(tiff, model.empty() ? 1 : 2);
    if (!model.empty()) {
        // A value of four bytes or fewer stands in the entry itself.
        unsigned inlineModel = 0;
        for (std::size_t i = 0; i < model.size() && model.size() < 4; ++i)
            inlineModel |= static_cast<unsigned>(static_cast<unsigned char>(model[i])) << (8 * i);
        putEntry(tiff, 0x0110, kAscii, static_cast<unsigned>(model.size()) + 1,
                 model.size() < 4 ? inlineModel : modelAt);
    }
    putEntry(tiff, 0x8769, kLong, 1, exifIfd);
    put32(tiff, 0);
    while (tiff.size() < exifIfd)
        tiff += '\0';
    put16(tiff, date.empty() ? 0 : 1);
    if (!date.empty())
        putEntry(tiff, 0x9003, kAscii, static_cast<unsigned>(date.size()) + 1, dateAt);
    else
        tiff.append(12, '\0');
    put32(tiff, 0);
    tiff += model;
    tiff += '\0';
    tiff += date;
    tiff += '\0';
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    const std::size_t length = body.size() + 2;
    return std::string{'\xFF', '\xE1', static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)} +
           body;
}

std::string jpegWithExif(const std::string& date, const std::string& model) {
    const std::string grey(reinterpret_cast<const char*>(kGreyJpeg), sizeof kGreyJpeg);
    if (date.empty() && model.empty())
        return grey;
    return grey.substr(0, 2) + exifSegment(date, model) + grey.substr(2);
}

std::string mp3WithTags(const SongTags& tags) {
    std::string frames;
    const auto frame = [&frames](const char* id, const std::string& text) {
        if (text.empty())
            return;
        frames += id;
        putBigEndian(frames, static_cast<std::uint32_t>(text.size() + 1), 4);
        frames += std::string(2, '\0');
        frames += '\x03';  // UTF-8
        frames += text;
    };
    frame("TPE1", tags.artist);
    frame("TALB", tags.album);
    frame("TIT2", tags.title);
    frame("TRCK", tags.track);
    std::string mp3 = "ID3";
    mp3 += '\x03';
    mp3 += '\0';
    mp3 += '\0';
    putBigEndian(mp3, static_cast<std::uint32_t>(frames.size()), 4, 7);  // syncsafe
    mp3 += frames;
    // MPEG-1 layer III, 128 kbit/s, 44.1 kHz, no padding: 417 bytes a frame.
    for (int i = 0; i < 4; ++i) {
        mp3 += std::string{'\xFF', '\xFB', '\x90', '\x00'};
        mp3.append(413, '\0');
    }
    return mp3;
}

}  // namespace zr::test
