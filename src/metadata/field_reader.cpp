// SPDX-License-Identifier: GPL-3.0-or-later
#include "metadata/field_reader.h"

#include <cerrno>
#include <ctime>
#include <mutex>

#include "metadata/field_text.h"
#include "metadata/file_kind.h"
#include "metadata/readers.h"
#include "platform/read_only_file.h"

namespace zr {

FieldReader::FieldReader(FileFieldSet wanted) : m_wanted(wanted) {
    // Read once, before any thread converts a movie's time to local time.
    static std::once_flag zone;
    std::call_once(zone, [] { tzset(); });
    if (m_wanted.intersects(kImageFields))
        prepareImageLibrary();
    if (m_wanted.intersects(kAudioFields))
        prepareAudioLibrary();
}

FileFields FieldReader::read(int folderFd, const std::string& name) const noexcept {
    if (m_wanted.empty())
        return {};
    ReadOnlyFile file;
    if (const int error = ReadOnlyFile::open(folderFd, name, file); error != 0) {
        FileFields values;
        values.error = error;
        return values;
    }
    return read(file);
}

FileFields FieldReader::read(const ReadOnlyFile& file) const noexcept {
    FileFields values;
    try {
        const FileKind kind = sniffFileKind(file);
        const FileFieldSet wanted = m_wanted & fieldsOfKind(kind);
        if (kind == FileKind::image && !wanted.empty())
            readImageFields(file, wanted, values);
        if (kind == FileKind::movie && wanted.contains(FileField::taken)) {
            if (const std::optional<std::int64_t> created = movieCreationTime(file)) {
                if (const std::optional<FieldDate> date = localDate(*created))
                    values.setDate(FileField::taken, *date);
            }
        }
        if (kind != FileKind::image && wanted.intersects(kAudioFields))
            readAudioFields(file, kind, wanted, values);
    } catch (...) {
        values = FileFields{};
    }
    // A file that could not be read through is told apart from one that lacks the fields.
    values.error = file.readError();
    return values;
}

}  // namespace zr
