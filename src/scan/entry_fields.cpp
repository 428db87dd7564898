// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan/entry_fields.h"

#include "metadata/field_text.h"
#include "rules/text.h"

namespace zr {

std::optional<FileField> fileFieldOf(Field field) {
    switch (field) {
        case Field::Taken:
            return FileField::taken;
        case Field::Camera:
            return FileField::camera;
        case Field::Width:
            return FileField::width;
        case Field::Height:
            return FileField::height;
        case Field::Artist:
            return FileField::artist;
        case Field::Album:
            return FileField::album;
        case Field::Title:
            return FileField::title;
        case Field::Track:
            return FileField::track;
        case Field::Disc:
            return FileField::disc;
        case Field::Year:
            return FileField::year;
        case Field::Genre:
            return FileField::genre;
        case Field::Number:
        case Field::Parent:
        case Field::Extension:
        case Field::Modified:
            break;
    }
    return std::nullopt;
}

FileFieldSet fileFieldsOf(FieldSet fields) {
    FileFieldSet wanted;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        if (const std::optional<FileField> file = fileFieldOf(field);
            file && fields.contains(field))
            wanted.add(*file);
    }
    return wanted;
}

bool EntryFieldValues::append(Field field, const FieldFormat& format, std::u32string& out) const {
    if (field == Field::Modified) {
        const std::optional<FieldDate> local = m_modified ? localDate(*m_modified) : std::nullopt;
        if (!local)
            return false;
        appendDate(local->toTm(), format.text, out);
        return true;
    }
    const std::optional<FileField> fileField = fileFieldOf(field);
    if (!fileField || !m_file)
        return false;
    if (const FieldDate* date = m_file->date(*fileField)) {
        appendDate(date->toTm(), format.text, out);
        return true;
    }
    if (const std::string* text = m_file->text(*fileField)) {
        out += toCodePoints(*text);
        return true;
    }
    if (const std::optional<std::uint32_t> number = m_file->number(*fileField)) {
        appendNumber(*number, format.width, out);
        return true;
    }
    return false;
}

}  // namespace zr
