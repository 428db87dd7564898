// SPDX-License-Identifier: GPL-3.0-or-later
// Regular files opened only to be read, relative to a folder's handle as the walk has them, for
// the readers of what a file holds: no link is followed, a pipe never blocks, a device is never
// opened, and nothing is ever written.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_id.h"

namespace zr {

// What tells whether a regular file is still the one read before: its identity, size and the
// times of its last change of contents and of its inode, to the nanosecond. Writing to a file, or
// setting its times back, changes its inode's change time, which nobody can set.
struct FileStamp {
    FileId id;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// A whole file mapped into memory for reading. The pages are read only when touched. When the
// file shrinks (or its disk fails) while it is mapped, a page that went away reads as zeros
// instead of ending the process with SIGBUS, and damaged() tells so: what was read from the
// mapping may then be wrong and should be thrown away.
class FileMapping {
public:
    FileMapping(const std::byte* data, std::size_t size, int slot);
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    const std::byte* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    bool damaged() const;

private:
    const std::byte* m_data;
    std::size_t m_size;
    int m_slot;
};

// One open regular file. Its descriptor is used by one thread at a time (positions are never
// shared: every read says where it reads).
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(ReadOnlyFile&& other) noexcept;
    ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;

    // Opens the entry `name` of the folder open as `folderFd` (AT_FDCWD for the working
    // directory). Returns 0, or the errno: ELOOP for a symbolic link, which is never followed;
    // kErrorNotRegularFile for anything else that is not a regular file (a folder, a pipe, a
    // device, a socket), which is never opened at all; ESTALE when the entry was replaced by
    // something else between the look and the open. The access time is left alone where the
    // caller may ask for that (its own files).
    static int open(int folderFd, const std::string& name, ReadOnlyFile& file);
    // Takes over an open descriptor of a regular file (closed with the object).
    static int adopt(int fd, ReadOnlyFile& file);
    // The stamp of the entry `name` of the folder `folderFd`, looked at without opening it or
    // following a link. 0, or the errno; ELOOP and kErrorNotRegularFile as open() gives them.
    static int stampOf(int folderFd, const std::string& name, FileStamp& stamp);

    bool isOpen() const { return m_fd >= 0; }
    // The size when the file was opened.
    std::int64_t size() const { return m_stamp.size; }
    // The file as it was when it was opened.
    const FileStamp& stamp() const { return m_stamp; }
    // Reads up to `count` bytes at `offset`, fewer only at the end of the file. The number read,
    // or -1 with errno set.
    ssize_t readAt(std::int64_t offset, void* buffer, std::size_t count) const;
    // The errno of the first read that failed; 0 while none has.
    int readError() const { return m_readError; }
    // Maps the file whole (its size when it was opened); null with errno set when it cannot be
    // mapped (an empty file, too many mappings at once, no address space).
    std::unique_ptr<FileMapping> map() const;

private:
    int m_fd = -1;
    FileStamp m_stamp;
    mutable int m_readError = 0;
};

}  // namespace zr
