// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/faulty_file_system.h"

#include <algorithm>

namespace zr::test {

namespace {

class FaultyOutputFile : public OutputFile {
public:
    FaultyOutputFile(FaultyFileSystem& owner, std::string path, std::unique_ptr<OutputFile> real)
        : m_owner(owner), m_path(std::move(path)), m_real(std::move(real)) {}

    int write(std::string_view bytes) override {
        if (m_error != 0)
            return m_error;
        std::size_t allowed = bytes.size();
        const int error = m_owner.chargeWrite(m_path, bytes, allowed);
        if (allowed > 0)
            m_real->write(bytes.substr(0, allowed));
        if (error != 0)
            m_error = error;
        return m_error;
    }

    int flush() override {
        const int error = m_real->flush();
        return m_error != 0 ? m_error : error;
    }

    int sync() override {
        const int error = m_real->sync();
        return m_error != 0 ? m_error : error;
    }

    int makeExecutable() override { return m_real->makeExecutable(); }

    int close() override {
        const int error = m_real->close();
        return m_error != 0 ? m_error : error;
    }

    int giveName(const std::string& path) override { return m_real->giveName(path); }

private:
    FaultyFileSystem& m_owner;
    std::string m_path;
    std::unique_ptr<OutputFile> m_real;
    int m_error = 0;
};

// A listing whose subdirectories are entered and listed through the faulty file system's
// checks, as ChangeDirectory (current + "/" + name) and ListDirectory (the joined path).
class FaultyListing : public DirectoryListing {
public:
    FaultyListing(FaultyFileSystem& owner, std::string path, std::unique_ptr<DirectoryListing> real)
        : m_owner(owner), m_path(std::move(path)), m_real(std::move(real)) {}

    bool next(DirEntry& entry) override {
        if (m_readError != 0 || !nextEntry(entry))
            return false;
        m_readError =
            m_owner.checkCall(FaultyFileSystem::Op::ReadDirectory, m_path + "/" + entry.name);
        return m_readError == 0;
    }
    bool info(const std::string& name, EntryInfo& out) override {
        return m_owner.checkCall(FaultyFileSystem::Op::EntryInfo, m_path + "/" + name) == 0 &&
               m_real->info(name, out);
    }
    long nameLimit() override { return m_real->nameLimit(); }
    int readError() const override { return m_readError != 0 ? m_readError : m_real->readError(); }
    FileId identity() override { return m_real->identity(); }
    bool entryId(const DirEntry& entry, FileId& id) override { return m_real->entryId(entry, id); }
    int openFile(const std::string& name, ReadOnlyFile& file) override {
        if (const int error =
                m_owner.checkCall(FaultyFileSystem::Op::OpenFile, m_path + "/" + name))
            return error;
        return m_real->openFile(name, file);
    }
    int stampFile(const std::string& name, FileStamp& stamp) override {
        return m_real->stampFile(name, stamp);
    }

    int enterSubdirectory(const std::string& name,
                          std::unique_ptr<DirectoryListing>& listing) override {
        listing.reset();
        const std::string path = (m_path == "/" ? "" : m_path) + "/" + name;
        if (const int error =
                m_owner.checkCall(FaultyFileSystem::Op::ChangeDirectory, m_path + "/" + name))
            return error;
        std::unique_ptr<DirectoryListing> real;
        if (const int error = m_real->enterSubdirectory(name, real))
            return error;
        if (real && m_owner.checkCall(FaultyFileSystem::Op::ListDirectory, path) == 0)
            listing = std::make_unique<FaultyListing>(m_owner, path, std::move(real));
        return 0;
    }

private:
    bool nextEntry(DirEntry& entry) {
        if (m_owner.listingOrder() == 0)
            return m_real->next(entry);
        if (!m_sorted) {
            m_sorted = true;
            for (DirEntry e; m_real->next(e);)
                m_entries.push_back(e);
            std::sort(m_entries.begin(), m_entries.end(),
                      [this](const DirEntry& a, const DirEntry& b) {
                          return m_owner.listingOrder() > 0 ? a.name < b.name : a.name > b.name;
                      });
        }
        if (m_next == m_entries.size())
            return false;
        entry = m_entries[m_next++];
        return true;
    }

    FaultyFileSystem& m_owner;
    std::string m_path;
    std::unique_ptr<DirectoryListing> m_real;
    int m_readError = 0;
    bool m_sorted = false;
    std::vector<DirEntry> m_entries;
    std::size_t m_next = 0;
};

class FaultyRenameSession : public RenameSession {
public:
    FaultyRenameSession(FaultyFileSystem& owner, std::unique_ptr<RenameSession> real)
        : m_owner(owner), m_real(std::move(real)) {}

    int rename(const RenameRequest& request, std::string& strandedAt) override {
        strandedAt.clear();
        if (const int error = m_owner.checkCall(FaultyFileSystem::Op::Rename, request.from))
            return error;
        return m_real->rename(request, strandedAt);
    }
    int locate(const RenameRequest& request, bool& atTemporary) override {
        return m_real->locate(request, atTemporary);
    }
    void forgetFolders() override { m_real->forgetFolders(); }

private:
    FaultyFileSystem& m_owner;
    std::unique_ptr<RenameSession> m_real;
};

// A lock whose reads are checked as ReadFile, by the path locked.
class FaultyLock : public FileLock {
public:
    FaultyLock(FaultyFileSystem& owner, std::string path, std::unique_ptr<FileLock> real)
        : m_owner(owner), m_path(std::move(path)), m_real(std::move(real)) {}

    FileId identity() const override { return m_real->identity(); }
    std::unique_ptr<InputFile> read(int& error) override {
        if ((error = m_owner.checkCall(FaultyFileSystem::Op::ReadFile, m_path)) != 0)
            return nullptr;
        return m_real->read(error);
    }

private:
    FaultyFileSystem& m_owner;
    std::string m_path;
    std::unique_ptr<FileLock> m_real;
};

bool endsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

void FaultyFileSystem::fail(Op op, std::string pathEnd, int error) {
    const std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_faults.push_back(Fault{op, std::move(pathEnd), error});
}

void FaultyFileSystem::failWritesAfter(std::size_t bytes, int error) {
    m_writeLimited = true;
    m_writeBudget = bytes;
    m_writeError = error;
}

void FaultyFileSystem::onCall(Op op, std::function<void(const std::string&)> hook) {
    const std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_hooks.emplace(op, std::move(hook));
}

void FaultyFileSystem::clear() {
    const std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_faults.clear();
    m_hooks.clear();
    m_writeLimited = false;
}

int FaultyFileSystem::calls(Op op) const {
    const std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const auto it = m_calls.find(op);
    return it == m_calls.end() ? 0 : it->second;
}

int FaultyFileSystem::checkCall(Op op, const std::string& path) {
    return check(op, path);
}

int FaultyFileSystem::check(Op op, const std::string& path) {
    const std::lock_guard<std::recursive_mutex> lock(m_mutex);
    ++m_calls[op];
    const auto range = m_hooks.equal_range(op);
    // A hook may add hooks; run the ones present now.
    std::vector<std::function<void(const std::string&)>> hooks;
    for (auto it = range.first; it != range.second; ++it)
        hooks.push_back(it->second);
    for (auto& hook : hooks)
        hook(path);
    for (const Fault& f : m_faults) {
        if (f.op == op && endsWith(path, f.pathEnd))
            return f.error;
    }
    return 0;
}

int FaultyFileSystem::chargeWrite(const std::string& path, std::string_view bytes,
                                  std::size_t& allowed) {
    const std::lock_guard<std::recursive_mutex> lock(m_mutex);
    allowed = bytes.size();
    if (const int error = check(Op::Write, path)) {
        allowed = 0;
        return error;
    }
    if (!m_writeLimited)
        return 0;
    if (bytes.size() <= m_writeBudget) {
        m_writeBudget -= bytes.size();
        return 0;
    }
    allowed = m_writeBudget;
    m_writeBudget = 0;
    return m_writeError;
}

std::string FaultyFileSystem::initialDirectory() {
    return m_initialDirectory.empty() ? m_real.initialDirectory() : m_initialDirectory;
}

int FaultyFileSystem::changeDirectory(const std::string& current, const std::string& path,
                                      std::string& result) {
    const std::string asked = path.starts_with('/') ? path : current + "/" + path;
    if (const int error = check(Op::ChangeDirectory, asked))
        return error;
    return m_real.changeDirectory(current, path, result);
}

std::unique_ptr<DirectoryListing> FaultyFileSystem::listDirectory(const std::string& path,
                                                                  int& error) {
    if ((error = check(Op::ListDirectory, path)) != 0)
        return nullptr;
    std::unique_ptr<DirectoryListing> real = m_real.listDirectory(path, error);
    if (!real)
        return nullptr;
    return std::make_unique<FaultyListing>(*this, path, std::move(real));
}

int FaultyFileSystem::rename(const std::string& from, const std::string& to) {
    if (const int error = check(Op::Rename, from))
        return error;
    return m_real.rename(from, to);
}

std::unique_ptr<RenameSession> FaultyFileSystem::openRenameSession() {
    return std::make_unique<FaultyRenameSession>(*this, m_real.openRenameSession());
}

bool FaultyFileSystem::exists(const std::string& path) {
    return m_real.exists(path);
}

std::unique_ptr<OutputFile> FaultyFileSystem::createFile(const std::string& path, int& error) {
    if ((error = check(Op::CreateFile, path)) != 0)
        return nullptr;
    std::unique_ptr<OutputFile> real = m_real.createFile(path, error);
    if (!real)
        return nullptr;
    return std::make_unique<FaultyOutputFile>(*this, path, std::move(real));
}

std::unique_ptr<OutputFile> FaultyFileSystem::createUnnamedFile(const std::string& path,
                                                                int& error) {
    if ((error = check(Op::CreateFile, path)) != 0)
        return nullptr;
    std::unique_ptr<OutputFile> real = m_real.createUnnamedFile(path, error);
    if (!real)
        return nullptr;
    return std::make_unique<FaultyOutputFile>(*this, path, std::move(real));
}

int FaultyFileSystem::removeFile(const std::string& path) {
    if (const int error = check(Op::RemoveFile, path))
        return error;
    return m_real.removeFile(path);
}

int FaultyFileSystem::syncDirectory(const std::string& path) {
    if (const int error = check(Op::SyncDirectory, path))
        return error;
    return m_real.syncDirectory(path);
}

int FaultyFileSystem::lockFile(const std::string& path, std::unique_ptr<FileLock>& lock) {
    if (const int error = check(Op::LockFile, path))
        return error;
    std::unique_ptr<FileLock> real;
    const int error = m_real.lockFile(path, real);
    if (error == 0)
        lock = std::make_unique<FaultyLock>(*this, path, std::move(real));
    return error;
}

int FaultyFileSystem::removeFileIf(const std::string& path, const FileId& expected) {
    if (const int error = check(Op::RemoveFile, path))
        return error;
    return m_real.removeFileIf(path, expected);
}

int FaultyFileSystem::identify(const std::string& path, FileId& id) {
    return m_real.identify(path, id);
}

int FaultyFileSystem::createDirectories(const std::string& path) {
    if (const int error = check(Op::CreateDirectories, path))
        return error;
    return m_real.createDirectories(path);
}

int FaultyFileSystem::readFile(const std::string& path, std::string& content) {
    if (const int error = check(Op::ReadFile, path))
        return error;
    return m_real.readFile(path, content);
}

std::unique_ptr<InputFile> FaultyFileSystem::openTextFile(const std::string& path, int& error) {
    if ((error = check(Op::ReadFile, path)) != 0)
        return nullptr;
    return m_real.openTextFile(path, error);
}

int FaultyFileSystem::replaceFile(const std::string& path, std::string_view content) {
    if (const int error = check(Op::ReplaceFile, path))
        return error;
    // The replacement is all or nothing: a write that runs out of room leaves the old file.
    std::size_t allowed = 0;
    if (const int error = chargeWrite(path, content, allowed))
        return error;
    return m_real.replaceFile(path, content);
}

}  // namespace zr::test
