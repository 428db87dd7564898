// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the field reader as the content of a file, with every field wanted,
// so that the bytes reach Exiv2, TagLib or the movie-header reader as their first bytes say,
// and checks what must always hold: nothing escapes or crashes, a text is fit for a name (valid
// UTF-8, no "/" and no control character, trimmed, at most 255 bytes), a date exists, and
// reading the same bytes twice gives the same values.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "metadata/field_reader.h"
#include "metadata/field_text.h"
#include "platform/read_only_file.h"

namespace {

using namespace zr;

constexpr FileFieldSet kAllFields{FileField::taken,  FileField::camera, FileField::width,
                                  FileField::height, FileField::artist, FileField::album,
                                  FileField::title,  FileField::track,  FileField::disc,
                                  FileField::year,   FileField::genre};

void check(bool condition) {
    if (!condition)
        std::abort();
}

FileFields readBytes(int memory, const FieldReader& reader) {
    ReadOnlyFile file;
    check(ReadOnlyFile::adopt(dup(memory), file) == 0);
    return reader.read(file);
}

std::string shown(const FileFields& values) {
    std::string text;
    for (std::size_t i = 0; i < kFileFieldCount; ++i) {
        const auto field = static_cast<FileField>(i);
        if (const FieldDate* date = values.date(field)) {
            text += std::to_string(date->year) + "-" + std::to_string(date->month) + "-" +
                    std::to_string(date->day) + " " + std::to_string(date->hour) + ":" +
                    std::to_string(date->minute) + ":" + std::to_string(date->second) + " " +
                    std::to_string(date->utcOffsetMinutes.value_or(-9999));
        } else if (const std::string* value = values.text(field)) {
            text += *value;
        } else if (const auto number = values.number(field)) {
            text += std::to_string(*number);
        }
        text += '|';
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int memory = memfd_create("fuzz-fields", MFD_CLOEXEC);
    static const FieldReader reader(kAllFields);
    check(memory >= 0 && ftruncate(memory, 0) == 0);
    check(pwrite(memory, data, size, 0) == static_cast<ssize_t>(size));

    const FileFields values = readBytes(memory, reader);
    for (std::size_t i = 0; i < kFileFieldCount; ++i) {
        const auto field = static_cast<FileField>(i);
        if (const std::string* text = values.text(field))
            check(!text->empty() && text->size() <= kMaxFieldTextBytes && nameText(*text) == *text);
        if (const FieldDate* date = values.date(field)) {
            char text[32];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", date->year,
                          date->month, date->day, date->hour, date->minute, date->second);
            const std::optional<FieldDate> again = parseDate(text);
            check(again && again->year == date->year && again->day == date->day);
        }
    }
    check(shown(readBytes(memory, reader)) == shown(values));
    return 0;
}
