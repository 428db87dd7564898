// SPDX-License-Identifier: GPL-3.0-or-later
// The fields a Scan read from the files it met, kept for the Go that follows it, so that Go does
// not read every file a second time. A file is known by its stamp (identity, size, times to the
// nanosecond): one that changed in any way since the Scan is read again.
#pragma once

#include <cstddef>
#include <unordered_map>

#include "metadata/file_fields.h"
#include "platform/read_only_file.h"

namespace zr {

// Filled by the walk of a Scan, on its thread; read by the walk of a Go, from several threads at
// once while nothing is added.
class KeptFields {
public:
    // Files kept at most; past it, Go reads the others itself.
    static constexpr std::size_t kLimit = 65536;

    void clear() { m_kept.clear(); }
    std::size_t size() const { return m_kept.size(); }
    // Keeps what was read from the file `stamp` when it asked for `read`; a file that could not
    // be read through is not kept (Go tries it again).
    void keep(const FileStamp& stamp, FileFieldSet read, const FileFields& fields);
    // What was kept for `stamp`, when it was asked for at least the fields `wanted`; else null.
    const FileFields* find(const FileStamp& stamp, FileFieldSet wanted) const;

private:
    struct StampHash {
        std::size_t operator()(const FileStamp& stamp) const noexcept;
    };
    struct Kept {
        FileFieldSet read;
        FileFields fields;
    };
    std::unordered_map<FileStamp, Kept, StampHash> m_kept;
};

}  // namespace zr
