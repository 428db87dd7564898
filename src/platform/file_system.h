// SPDX-License-Identifier: GPL-3.0-or-later
// The file-system operations the commands use, behind an interface so that tests can make any
// single operation fail. Paths are the file system's bytes; errors are errno values.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_id.h"
#include "platform/read_only_file.h"

namespace zr {

struct DirEntry {
    std::string name;
    bool isDirectory = false;  // taken without following links: a link is never a directory
    // The inode the listing gives; whether it is the entry's own, see DirectoryListing::entryId.
    std::uint64_t inode = 0;
};

// What an entry is, taken without following links; anything that is neither a directory nor a
// symbolic link (a pipe, a device) counts as a file, as the walk handles it.
enum class EntryType : std::uint8_t { File, Directory, Link };

struct EntryInfo {
    std::int64_t size = 0;
    std::time_t lastWrite = 0;
    EntryType type = EntryType::File;
};

// An open listing of one directory, in the file system's own order, "." and ".." included.
class DirectoryListing {
public:
    virtual ~DirectoryListing() = default;
    // The next entry; false at the end, or when reading failed (see readError()).
    virtual bool next(DirEntry& entry) = 0;
    // The errno of a failed read that ended the listing early; 0 after its real end.
    virtual int readError() const { return 0; }
    // Size and last-write time of an entry of this directory, not following links.
    virtual bool info(const std::string& name, EntryInfo& out) = 0;
    // Enters the subdirectory `name` of this directory, never through a link. Returns 0 when
    // it could be entered, else the errno (ENOENT, ENOTDIR for a link or a file, EACCES, ...).
    // `listing` is then its listing, or null when it can be entered but not listed. A folder on
    // which a file system was mounted after the walk began (after its first listing was opened)
    // is not entered: kErrorMountedSince. One that was a mount point then is entered.
    virtual int enterSubdirectory(const std::string& name,
                                  std::unique_ptr<DirectoryListing>& listing) = 0;
    // The identity of the folder listed; unknown when it cannot be told.
    virtual FileId identity() = 0;
    // The identity of an entry next() gave: the listing's inode where the folder's listing is
    // seen to give the entries' own (checked on one of them), else read from the entry. False
    // when it cannot be told (the entry is gone). Called from one thread at a time.
    virtual bool entryId(const DirEntry& entry, FileId& id) = 0;
    // The longest name, in bytes, the directory's file system takes; 0 when it cannot be told.
    virtual long nameLimit() = 0;
    // Opens the entry `name` of this directory to read what it holds, as ReadOnlyFile::open
    // does: never through a link, and nothing but a regular file. 0 or the errno. From any
    // thread.
    virtual int openFile(const std::string& name, ReadOnlyFile& file) = 0;
    // The stamp of the regular file `name`, as ReadOnlyFile::stampOf gives it. From any thread.
    virtual int stampFile(const std::string& name, FileStamp& stamp) = 0;
};

// A text file created for writing; nothing is written through to the disk after an error.
// Writes may be held in a buffer until flush(), sync() or close().
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // 0 or the errno of the failure.
    virtual int write(std::string_view bytes) = 0;
    // Hands what was written so far to the file, so that a full disk shows here.
    virtual int flush() = 0;
    // flush(), then waits until the data is on the disk.
    virtual int sync() = 0;
    // Lets whoever may read the file run it too, as `chmod +x` does. Returns 0 or the errno.
    virtual int makeExecutable() = 0;
    virtual int close() = 0;
    // Gives a file made by FileSystem::createUnnamedFile() the name `path`, in the folder it was
    // made in, never replacing an entry (EEXIST). What was flushed before is in the file under
    // its name. 0 or the errno; EINVAL for a file that has a name already.
    virtual int giveName(const std::string& path) = 0;
};

// A text file read one line at a time, so that no line and no file is read into memory
// without a limit.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Replaces `line` with the next line, its line feed included (the last line of a file may
    // have none); `line` is empty at the end of the file. 0, EOVERFLOW for a line longer than
    // `maxLength` bytes, or the errno of a read that failed.
    virtual int readLine(std::string& line, std::size_t maxLength) = 0;
};

// Files read whole (settings files and the store) are at most this large.
inline constexpr std::int64_t kMaxReadSize = 16 * 1024 * 1024;
// What readFile() and openTextFile() refuse: something that is not a regular file (a folder, a
// pipe, a device) and a file larger than kMaxReadSize.
inline constexpr int kErrorNotRegularFile = ENODEV;
inline constexpr int kErrorFileTooLarge = EFBIG;
// The words for those refusals ("not a regular file", "larger than 16 MiB"); empty for any other
// error.
std::string refusalText(int error);

// A lock a process holds on a file for as long as the object lives (or the process does).
class FileLock {
public:
    virtual ~FileLock() = default;
    // The file locked, whatever its name names later.
    virtual FileId identity() const = 0;
    // Reads the locked file from its start, line by line, through the descriptor that holds the
    // lock (so what is read is what is locked); null with `error` set when it cannot. The reader
    // is used while the lock lives.
    virtual std::unique_ptr<InputFile> read(int& error) = 0;
};

// One rename of a run's entry, and what is checked before it is made.
struct RenameRequest {
    // Full paths, both in the same folder.
    std::string from;
    std::string to;
    // The folder as the walk saw it: a handle that leads to another one fails the rename with
    // kErrorFolderChanged. Unknown: the folder is not compared.
    FileId folder;
    // For an undo, the entry the run renamed: it is renamed back from `from`, or from `temporary`
    // where a run ended half-way through a detour; kAlreadyInPlace when `to` holds it already,
    // kErrorNotTheEntry when neither name holds it. Unknown: whatever `from` holds is renamed.
    FileId entry;
    // The name in the folder that a change of letter case alone goes through, decided (and
    // journaled) before the run; empty: a free one is chosen.
    std::string temporary;
};

// Renames entries of a tree, one after another. Each rename is carried out relative to a handle
// of its folder that was opened from the root without following any symbolic link, so a folder
// swapped for a link after the walk can never send a rename outside the tree: such a rename fails
// (ELOOP or ENOTDIR). Consecutive renames in one folder share its handle; before the first of
// them, and again whenever some time has passed, the handle is compared with what the folder's
// path leads to and with the identity the walk saw, so renames never go on in a folder that was
// swapped, moved away or mounted over meanwhile (kErrorFolderChanged).
class RenameSession {
public:
    virtual ~RenameSession() = default;
    // Renames as `request` says, never replacing an existing entry. A rename to a name that is
    // the source itself (a change of letter case on a file system that ignores case) goes through
    // the temporary name; when the second step fails the entry is moved back, and when even that
    // fails `strandedAt` is the full path where the entry now is. Where the file system has no
    // rename that refuses to replace, the new name is first claimed with an empty entry of the
    // program's own, which the rename then takes (a claim that fails is EEXIST). Returns 0 or
    // the errno (or one of the errors of platform/file_id.h).
    virtual int rename(const RenameRequest& request, std::string& strandedAt) = 0;
    // Where the entry of an undo's request is now, renaming nothing: 0 when `from` holds it, or
    // `temporary` (then `atTemporary`); kAlreadyInPlace, kErrorNotTheEntry, or the error of its
    // folder as rename() would find them.
    virtual int locate(const RenameRequest& request, bool& atTemporary) = 0;
    // The renames that follow may find the folders changed by others (renames of the same run
    // on other threads): what the session learnt of them is read afresh.
    virtual void forgetFolders() {}
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The absolute path of the process's working directory at start-up; empty when it cannot
    // be told (the directory was removed).
    virtual std::string initialDirectory() = 0;

    // Changes directory, as the shell's `cd` would, from `current` to `path` (absolute, or
    // relative to `current`; ".." climbs one level). On success `result` is the new directory's
    // absolute path with links resolved, without a trailing "/" except for the root. Returns 0
    // or the errno of the failure (ENOENT, ENOTDIR, EACCES, ENAMETOOLONG, ...). An empty path
    // names no directory (ENOENT), and neither does a relative one when `current` is empty.
    virtual int changeDirectory(const std::string& current, const std::string& path,
                                std::string& result) = 0;

    // Opens a listing of the directory `path`; null with `error` set when it cannot be listed.
    virtual std::unique_ptr<DirectoryListing> listDirectory(const std::string& path,
                                                            int& error) = 0;

    // Renames `from` to `to`, both full paths, never replacing an existing entry; links in the
    // directories of the paths are followed. For the program's own files (the settings store).
    // Returns 0 or the errno.
    virtual int rename(const std::string& from, const std::string& to) = 0;

    // The renames of a run's entries: see RenameSession.
    virtual std::unique_ptr<RenameSession> openRenameSession() = 0;

    // Whether any entry of that path exists: a file, a directory, a link (dangling or not).
    virtual bool exists(const std::string& path) = 0;

    // Creates a new file; fails with EEXIST rather than touching an existing entry.
    virtual std::unique_ptr<OutputFile> createFile(const std::string& path, int& error) = 0;

    // Creates a file meant for `path` but without any name yet, in the folder of `path`: it goes
    // away with the process unless OutputFile::giveName() names it, so a run that is killed
    // leaves nothing behind. EOPNOTSUPP where the file system (or a missing /proc) does not
    // allow one; `path` is what errors are about.
    virtual std::unique_ptr<OutputFile> createUnnamedFile(const std::string& path, int& error) = 0;

    // Deletes a file. Returns 0 or the errno.
    virtual int removeFile(const std::string& path) = 0;
    // Deletes the file `path` only while the name holds the file `expected` (it is compared just
    // before): kErrorNotTheEntry when it holds another entry. Returns 0 or the errno.
    virtual int removeFileIf(const std::string& path, const FileId& expected) = 0;
    // The identity of the entry `path` names, a last symbolic link not followed. 0 or the errno.
    virtual int identify(const std::string& path, FileId& id) = 0;

    // Waits until the entries of the directory `path` (a file just created in it) are on the
    // disk. Returns 0 or the errno.
    virtual int syncDirectory(const std::string& path) = 0;

    // Takes the lock of the file `path` without waiting: 0 and `lock` when no other process
    // holds it, EWOULDBLOCK when one does, ENOENT when the name no longer names the file that
    // was locked, ELOOP when `path` is a symbolic link (a link is not followed: the file it
    // names could be locked and read under another name), kErrorNotRegularFile for anything
    // but a regular file, or another errno.
    virtual int lockFile(const std::string& path, std::unique_ptr<FileLock>& lock) = 0;

    // Creates a directory and any missing parents (mode 0700 for the ones it creates).
    // Returns 0 or the errno; an existing directory is no error.
    virtual int createDirectories(const std::string& path) = 0;

    // Reads a whole regular file of at most kMaxReadSize bytes; anything else is refused
    // (kErrorNotRegularFile, kErrorFileTooLarge), a pipe without waiting for a writer. Returns 0
    // or the errno.
    virtual int readFile(const std::string& path, std::string& content) = 0;

    // Opens a regular file to be read line by line; refuses anything else as readFile() does.
    virtual std::unique_ptr<InputFile> openTextFile(const std::string& path, int& error) = 0;

    // Writes `content` to `path` so that the file holds either its old content or all of the new
    // one, never a part: a temporary file beside it, then renamed over the old one. A `path` that
    // is a symbolic link stays one: the file it points to (through any chain of links, dangling
    // or not) is the one replaced, and keeps its permission bits. Returns 0 or the errno.
    virtual int replaceFile(const std::string& path, std::string_view content) = 0;

    // Whether a processor of the machine has nothing to run at this moment. Calls in flight on
    // threads of their own only take turns with the caller where every processor has work, so
    // they are not even tried then.
    virtual bool processorFree() { return true; }
};

// `directory` + "/" + `name`, without doubling a final "/" (the root stays "/name").
std::string pathInDirectory(const std::string& directory, std::string_view name);

// The directory part of a full path (up to its last "/", the root "/" for "/name" and for the
// root's "//name") and the name after it.
std::string_view directoryOfPath(std::string_view path);
std::string_view nameOfPath(std::string_view path);

// The real file system.
std::unique_ptr<FileSystem> makePosixFileSystem();

// Raises the process's soft limit of open files to its hard limit: a walk holds a descriptor
// for each level of the tree it is in.
void raiseOpenFileLimit();

}  // namespace zr
