// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/watched_file_system.h"

#include <cerrno>

namespace zr {

namespace {

std::string join(const std::string& directory, const std::string& name) {
    return name.starts_with('/') ? name : pathInDirectory(directory, name);
}

class WatchedListing : public DirectoryListing {
public:
    WatchedListing(WatchedFileSystem& owner, std::string path,
                   std::unique_ptr<DirectoryListing> inner)
        : m_owner(owner), m_path(std::move(path)), m_inner(std::move(inner)) {}

    bool next(DirEntry& entry) override { return m_inner->next(entry); }
    int readError() const override { return m_inner->readError(); }
    bool info(const std::string& name, EntryInfo& out) override { return m_inner->info(name, out); }
    long nameLimit() override { return m_inner->nameLimit(); }
    FileId identity() override { return m_inner->identity(); }
    bool entryId(const DirEntry& entry, FileId& id) override { return m_inner->entryId(entry, id); }
    int openFile(const std::string& name, ReadOnlyFile& file) override {
        return m_inner->openFile(name, file);
    }
    int stampFile(const std::string& name, FileStamp& stamp) override {
        return m_inner->stampFile(name, stamp);
    }
    int enterSubdirectory(const std::string& name,
                          std::unique_ptr<DirectoryListing>& listing) override {
        std::unique_ptr<DirectoryListing> inner;
        const int error = m_inner->enterSubdirectory(name, inner);
        std::string path = join(m_path, name);
        if (error != 0)
            m_owner.recordFailure(std::move(path));
        else if (inner)
            listing = std::make_unique<WatchedListing>(m_owner, std::move(path), std::move(inner));
        else
            listing.reset();
        return error;
    }

private:
    WatchedFileSystem& m_owner;
    std::string m_path;
    std::unique_ptr<DirectoryListing> m_inner;
};

class WatchedFile : public OutputFile {
public:
    WatchedFile(WatchedFileSystem& owner, std::string path, std::unique_ptr<OutputFile> inner)
        : m_owner(owner), m_path(std::move(path)), m_inner(std::move(inner)) {}

    int write(std::string_view bytes) override { return watch(m_inner->write(bytes)); }
    int makeExecutable() override { return watch(m_inner->makeExecutable()); }
    int flush() override { return watch(m_inner->flush()); }
    int sync() override { return watch(m_inner->sync()); }
    int close() override { return watch(m_inner->close()); }
    int giveName(const std::string& path) override {
        const int error = m_inner->giveName(path);
        if (error != 0)
            m_owner.recordFailure(path);
        else
            m_path = path;
        return error;
    }

private:
    int watch(int error) {
        if (error != 0)
            m_owner.recordFailure(m_path);
        return error;
    }

    WatchedFileSystem& m_owner;
    std::string m_path;
    std::unique_ptr<OutputFile> m_inner;
};

}  // namespace

std::string WatchedFileSystem::failedPath() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_failedPaths.find(std::this_thread::get_id());
    return found == m_failedPaths.end() ? std::string() : found->second;
}

void WatchedFileSystem::recordFailure(std::string path) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_failedPaths[std::this_thread::get_id()] = std::move(path);
}

int WatchedFileSystem::runPendingHook() {
    if (!m_hook)
        return 0;
    const std::function<int()> hook = std::move(m_hook);
    m_hook = nullptr;
    return hook();
}

int WatchedFileSystem::changeDirectory(const std::string& current, const std::string& path,
                                       std::string& result) {
    const int error = m_inner.changeDirectory(current, path, result);
    if (error != 0)
        recordFailure(join(current, path));
    return error;
}

std::unique_ptr<DirectoryListing> WatchedFileSystem::listDirectory(const std::string& path,
                                                                   int& error) {
    std::unique_ptr<DirectoryListing> inner = m_inner.listDirectory(path, error);
    if (!inner)
        return nullptr;
    return std::make_unique<WatchedListing>(*this, path, std::move(inner));
}

std::unique_ptr<OutputFile> WatchedFileSystem::createFile(const std::string& path, int& error) {
    return create(path, error, false);
}

std::unique_ptr<OutputFile> WatchedFileSystem::createUnnamedFile(const std::string& path,
                                                                 int& error) {
    return create(path, error, true);
}

std::unique_ptr<OutputFile> WatchedFileSystem::create(const std::string& path, int& error,
                                                      bool unnamed) {
    if (const int hookError = runPendingHook()) {
        error = hookError;
        return nullptr;
    }
    std::unique_ptr<OutputFile> inner =
        unnamed ? m_inner.createUnnamedFile(path, error) : m_inner.createFile(path, error);
    if (!inner) {
        // Where an unnamed file is not possible a named one takes its place: no failure yet.
        if (!unnamed || error != EOPNOTSUPP)
            recordFailure(path);
        return nullptr;
    }
    return std::make_unique<WatchedFile>(*this, path, std::move(inner));
}

}  // namespace zr
