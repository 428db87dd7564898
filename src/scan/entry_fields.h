// SPDX-License-Identifier: GPL-3.0-or-later
// The fields of one entry that come from the disk: its modification time and what its file
// holds, written as the rules' templates ask for them (name_template.h). The walk makes one per
// entry whose rules use such a field and hands it to the new-name computation.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "metadata/file_fields.h"
#include "rules/name_template.h"

namespace zr {

// The file field a template's field stands for; none for those not read from a file ({n},
// {parent}, {ext}, {modified}).
std::optional<FileField> fileFieldOf(Field field);
// What the field reader must read for a run whose templates use `fields`; empty when the run
// opens no file.
FileFieldSet fileFieldsOf(FieldSet fields);
// Whether the walk must look up each entry's modification time.
inline bool needsModifiedTime(FieldSet fields) {
    return fields.contains(Field::Modified);
}

// The values of {modified} and the file fields for one entry; the new-name computation writes
// {n}, {parent} and {ext} itself. Dates are written with their format: {taken} as the file
// gave it, {modified} in this computer's time zone (TZ); numbers with their width; texts as the
// reader made them (fit for a name). Holds a pointer to the reader's result: both live while the
// entry's name is computed.
//
// The time must be the one Scan shows and Go uses: both look the entry up for it, the same way,
// when, and only when, the run uses {modified}, and read the entry itself, never what a link
// points to.
class EntryFieldValues final : public FieldValues {
public:
    // `modified`: the entry's last modification (seconds since 1970 UTC), none when the entry
    // could not be looked at; `file`: what the field reader read from it, null when the run
    // reads no file field.
    EntryFieldValues(std::optional<std::time_t> modified, const FileFields* file)
        : m_modified(modified), m_file(file) {}

    bool append(Field field, const FieldFormat& format, std::u32string& out) const override;

private:
    std::optional<std::time_t> m_modified;
    const FileFields* m_file;
};

}  // namespace zr
