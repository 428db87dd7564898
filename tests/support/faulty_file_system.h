// SPDX-License-Identifier: GPL-3.0-or-later
// A file system for tests that passes every call to a real one, except the calls it was told
// to fail: a directory that cannot be entered or listed, a rename refused, a file that cannot
// be created, a disk that fills up half-way through a write.
#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace zr::test {

class FaultyFileSystem : public FileSystem {
public:
    enum class Op {
        ChangeDirectory,
        ListDirectory,
        Rename,
        CreateFile,
        Write,
        RemoveFile,
        ReadFile,
        ReplaceFile,
        CreateDirectories,
        SyncDirectory,
        LockFile,
        ReadDirectory,
        // The size and time of an entry, by its path; a failing one reads as unknown.
        EntryInfo,
        OpenFile,
    };

    explicit FaultyFileSystem(FileSystem& real) : m_real(real) {}

    // Every later `op` on a path that ends with `pathEnd` fails with `error`. The path is the
    // one the call names: for ChangeDirectory the current directory, "/" and the path asked
    // for (so "/locked" or "/deep/.."), for Rename the source, for Write the file's path. For
    // ReadDirectory it is the path of the entry a listing reads next: the listing breaks off
    // there with the error, that entry and the rest lost. OpenFile is a listing's opening of an
    // entry to read what it holds, by the entry's path.
    void fail(Op op, std::string pathEnd, int error);
    // From now on writes fail with `error` once `bytes` bytes have been written in all; the
    // write that crosses the limit puts down the part that fits. Counts replaceFile too.
    void failWritesAfter(std::size_t bytes, int error = ENOSPC);
    // Runs `hook` with the path before every `op` (a failing one too).
    void onCall(Op op, std::function<void(const std::string&)> hook);
    void clear();

    // How many times `op` was called.
    int calls(Op op) const;

    // Listings hand out their entries sorted by name as bytes: ascending for 1, descending for
    // -1, the real order for 0 (so a test can walk one tree in two known orders).
    void sortListings(int order) { m_listingOrder = order; }
    int listingOrder() const { return m_listingOrder; }

    // What processorFree() reports (not the machine's load: tests must not depend on it).
    void setProcessorFree(bool free) { m_processorFree = free; }
    bool processorFree() override { return m_processorFree; }

    // What initialDirectory() reports; the real one's when empty.
    void setInitialDirectory(std::string path) { m_initialDirectory = std::move(path); }

    std::string initialDirectory() override;
    int changeDirectory(const std::string& current, const std::string& path,
                        std::string& result) override;
    std::unique_ptr<DirectoryListing> listDirectory(const std::string& path, int& error) override;
    int rename(const std::string& from, const std::string& to) override;
    // The session's renames are checked as Rename, by their source.
    std::unique_ptr<RenameSession> openRenameSession() override;
    bool exists(const std::string& path) override;
    std::unique_ptr<OutputFile> createFile(const std::string& path, int& error) override;
    // Checked as CreateFile, by the path the file is meant for.
    std::unique_ptr<OutputFile> createUnnamedFile(const std::string& path, int& error) override;
    int removeFile(const std::string& path) override;
    // Checked as RemoveFile.
    int removeFileIf(const std::string& path, const FileId& expected) override;
    int identify(const std::string& path, FileId& id) override;
    int syncDirectory(const std::string& path) override;
    // Reads through the lock are checked as ReadFile.
    int lockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override;
    int createDirectories(const std::string& path) override;
    int readFile(const std::string& path, std::string& content) override;
    // Checked as ReadFile.
    std::unique_ptr<InputFile> openTextFile(const std::string& path, int& error) override;
    int replaceFile(const std::string& path, std::string_view content) override;

    // Counts a call, runs its hooks and returns the error it is to fail with, or 0; used by
    // the listings and files this file system hands out.
    int checkCall(Op op, const std::string& path);
    // Used by the files this file system creates.
    int chargeWrite(const std::string& path, std::string_view bytes, std::size_t& allowed);

private:
    struct Fault {
        Op op;
        std::string pathEnd;
        int error;
    };
    // The error `op` on `path` is to fail with, or 0; runs the hooks.
    int check(Op op, const std::string& path);

    FileSystem& m_real;
    // Renames run on several threads: one call is checked (and its hooks run) at a time.
    mutable std::recursive_mutex m_mutex;
    std::vector<Fault> m_faults;
    std::multimap<Op, std::function<void(const std::string&)>> m_hooks;
    std::map<Op, int> m_calls;
    bool m_writeLimited = false;
    std::size_t m_writeBudget = 0;
    int m_writeError = 0;
    std::string m_initialDirectory;
    int m_listingOrder = 0;
    bool m_processorFree = true;
};

}  // namespace zr::test
