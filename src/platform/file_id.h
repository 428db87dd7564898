// SPDX-License-Identifier: GPL-3.0-or-later
// What tells an entry of a file system from every other one, whatever its name: its device and
// inode. A run records them for every entry and folder it renames, so that a later rename (an
// undo) touches only the entry the run meant, never another one that took its name. Also the
// errors of the checks made on them, which lie above every errno.
#pragma once

#include <cstdint>

namespace zr {

struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    // Whether anything is known: a run that could not tell an entry's identity records none.
    bool known() const { return device != 0 || inode != 0; }
    friend bool operator==(const FileId&, const FileId&) = default;
};

// A folder is no longer the one the walk saw there: swapped for another, moved away, or covered
// by a file system mounted on it.
inline constexpr int kErrorFolderChanged = 0x10001;
// The entry at a name is not the one the run renamed.
inline constexpr int kErrorNotTheEntry = 0x10002;
// A file system was mounted on a folder after the walk began.
inline constexpr int kErrorMountedSince = 0x10003;
// Not an error: an undo finds the entry under its old name already (the run never renamed it, or
// an undo ended after renaming it back).
inline constexpr int kAlreadyInPlace = 0x10004;

}  // namespace zr
