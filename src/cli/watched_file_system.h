// SPDX-License-Identifier: GPL-3.0-or-later
// The file system as the command line hands it to the commands: it passes every call on, keeps
// the path of the last operation that failed on each thread (so an error line can name the
// directory or file), and can run a hook just before the next file is created.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/file_system.h"

namespace zr {

class WatchedFileSystem : public FileSystem {
public:
    explicit WatchedFileSystem(FileSystem& inner) : m_inner(inner) {}

    // Runs `hook` once, before the next file is created; when it returns an errno, creating that
    // file fails with it. The rename executor creates its failure log (and, in batch mode, its
    // scripts) before it renames anything, so this is the moment between a Go walk and its
    // first rename.
    void beforeNextCreate(std::function<int()> hook) { m_hook = std::move(hook); }
    // Runs the hook now if it has not run yet; its result, or 0.
    int runPendingHook();

    // The directory that could not be entered or left, or the file that could not be created
    // or written, last on the calling thread; empty when nothing failed there. What threads that
    // read ahead of a walk meet is theirs alone: the walk meets it again itself, at its place,
    // if it gets there.
    std::string failedPath() const;
    void recordFailure(std::string path);

    std::string initialDirectory() override { return m_inner.initialDirectory(); }
    bool processorFree() override { return m_inner.processorFree(); }
    int changeDirectory(const std::string& current, const std::string& path,
                        std::string& result) override;
    std::unique_ptr<DirectoryListing> listDirectory(const std::string& path, int& error) override;
    int rename(const std::string& from, const std::string& to) override {
        return m_inner.rename(from, to);
    }
    std::unique_ptr<RenameSession> openRenameSession() override {
        return m_inner.openRenameSession();
    }
    bool exists(const std::string& path) override { return m_inner.exists(path); }
    std::unique_ptr<OutputFile> createFile(const std::string& path, int& error) override;
    std::unique_ptr<OutputFile> createUnnamedFile(const std::string& path, int& error) override;
    int removeFile(const std::string& path) override { return m_inner.removeFile(path); }
    int removeFileIf(const std::string& path, const FileId& expected) override {
        return m_inner.removeFileIf(path, expected);
    }
    int identify(const std::string& path, FileId& id) override {
        return m_inner.identify(path, id);
    }
    int syncDirectory(const std::string& path) override { return m_inner.syncDirectory(path); }
    int lockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override {
        return m_inner.lockFile(path, lock);
    }
    int createDirectories(const std::string& path) override {
        return m_inner.createDirectories(path);
    }
    int readFile(const std::string& path, std::string& content) override {
        return m_inner.readFile(path, content);
    }
    std::unique_ptr<InputFile> openTextFile(const std::string& path, int& error) override {
        return m_inner.openTextFile(path, error);
    }
    int replaceFile(const std::string& path, std::string_view content) override {
        return m_inner.replaceFile(path, content);
    }

private:
    std::unique_ptr<OutputFile> create(const std::string& path, int& error, bool unnamed);

    FileSystem& m_inner;
    std::function<int()> m_hook;
    mutable std::mutex m_mutex;
    std::map<std::thread::id, std::string> m_failedPaths;
};

}  // namespace zr
