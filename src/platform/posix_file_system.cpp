// SPDX-License-Identifier: GPL-3.0-or-later
// The real file system, on POSIX calls: readdir for listings (every name, whatever its bytes),
// lstat semantics for sizes, times and the directory test, renameat2 with RENAME_NOREPLACE for
// renames, relative to directory handles opened without following links.
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"

namespace zr {

namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

// A listing of the directory `path`.
class PosixListing : public DirectoryListing {
public:
    PosixListing(DIR* dir, std::string path) : m_dir(dir), m_path(std::move(path)) {}

    int enterSubdirectory(const std::string& name,
                          std::unique_ptr<DirectoryListing>& listing) override {
        listing.reset();
        // Every path of the tree must stay usable by the calls that take whole paths.
        std::string path = pathInDirectory(m_path, name);
        if (path.size() >= PATH_MAX)
            return ENAMETOOLONG;
        // One call in the usual case: the subdirectory opened for listing, never via a link.
        const int fd =
            openat(dirfd(m_dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            // With O_DIRECTORY a link is refused as ENOTDIR, before O_NOFOLLOW's ELOOP.
            if (errno != EACCES)
                return errno;
            // Refused: a directory that may be entered (searched) but not read is still entered.
            if (faccessat(dirfd(m_dir), name.c_str(), X_OK, AT_SYMLINK_NOFOLLOW) != 0)
                return errno;
            return 0;
        }
        // Reading is not entering: a directory that may be listed but not searched cannot be
        // entered (looking up "." in it needs the search permission too).
        if (faccessat(fd, ".", X_OK, 0) != 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        DIR* dir = fdopendir(fd);
        if (!dir) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        listing = std::make_unique<PosixListing>(dir, std::move(path));
        return 0;
    }
    ~PosixListing() override { closedir(m_dir); }

    bool next(DirEntry& entry) override {
        errno = 0;
        const dirent* d = readdir(m_dir);
        if (!d) {
            // readdir returns null at the end too: only errno tells a failed read (EIO on a
            // disk or a share that went away), which must not pass for the end of the folder.
            m_readError = errno;
            return false;
        }
        entry.name = d->d_name;
        if (d->d_type == DT_UNKNOWN) {
            struct stat st;
            entry.isDirectory = fstatat(dirfd(m_dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                                S_ISDIR(st.st_mode);
        } else {
            entry.isDirectory = d->d_type == DT_DIR;
        }
        return true;
    }

    int readError() const override { return m_readError; }

    long nameLimit() override {
        const long limit = fpathconf(dirfd(m_dir), _PC_NAME_MAX);
        return limit > 0 ? limit : 0;
    }

    bool info(const std::string& name, EntryInfo& out) override {
        struct stat st;
        if (fstatat(dirfd(m_dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        out.size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
        out.lastWrite = st.st_mtim.tv_sec;
        out.type = S_ISDIR(st.st_mode)   ? EntryType::Directory
                   : S_ISLNK(st.st_mode) ? EntryType::Link
                                         : EntryType::File;
        return true;
    }

private:
    DIR* m_dir;
    int m_readError = 0;
    std::string m_path;
};

// Writes through a buffer; after the first error every later write and the close report it.
class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(int fd, bool unnamed) : m_fd(fd), m_unnamed(unnamed) {}
    ~PosixOutputFile() override { close(); }

    int giveName(const std::string& path) override {
        if (!m_unnamed || m_fd < 0)
            return EINVAL;
        // Unlike AT_EMPTY_PATH, linking the descriptor's entry in /proc needs no privilege.
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return errno;
        m_unnamed = false;
        return 0;
    }

    int write(std::string_view bytes) override {
        if (m_error != 0)
            return m_error;
        m_buffer.append(bytes);
        if (m_buffer.size() >= kFlushSize)
            writeBuffer();
        return m_error;
    }

    int flush() override {
        if (m_fd >= 0)
            writeBuffer();
        return m_error;
    }

    int sync() override {
        if (flush() == 0 && m_fd >= 0 && fdatasync(m_fd) != 0)
            m_error = errno;
        return m_error;
    }

    int makeExecutable() override {
        struct stat st;
        if (m_fd < 0 || fstat(m_fd, &st) != 0)
            return m_fd < 0 ? EBADF : errno;
        const mode_t mode = st.st_mode & 07777;
        return fchmod(m_fd, mode | ((mode & 0444) >> 2)) == 0 ? 0 : errno;
    }

    int close() override {
        if (m_fd < 0)
            return m_error;
        writeBuffer();
        if (::close(m_fd) != 0 && m_error == 0)
            m_error = errno;
        m_fd = -1;
        return m_error;
    }

private:
    static constexpr std::size_t kFlushSize = 64 * 1024;

    void writeBuffer() {
        std::size_t done = 0;
        while (m_error == 0 && done < m_buffer.size()) {
            const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (n < 0) {
                if (errno != EINTR)
                    m_error = errno;
            } else {
                done += static_cast<std::size_t>(n);
            }
        }
        m_buffer.clear();
    }

    int m_fd;
    bool m_unnamed;
    int m_error = 0;
    std::string m_buffer;
};

// Reads through a buffer, one line at a time.
class PosixInputFile : public InputFile {
public:
    explicit PosixInputFile(int fd) : m_fd(fd) {}
    ~PosixInputFile() override { ::close(m_fd); }

    int readLine(std::string& line, std::size_t maxLength) override {
        line.clear();
        for (;;) {
            const char* const begin = m_buffer + m_start;
            const char* const end = m_buffer + m_end;
            const char* const lineFeed =
                static_cast<const char*>(std::memchr(begin, '\n', end - begin));
            line.append(begin, lineFeed ? lineFeed + 1 : end);
            m_start = lineFeed ? static_cast<std::size_t>(lineFeed + 1 - m_buffer) : m_end;
            if (line.size() > maxLength + (lineFeed ? 1 : 0))
                return EOVERFLOW;
            if (lineFeed)
                return 0;
            const ssize_t n = ::read(m_fd, m_buffer, sizeof m_buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return errno;
            if (n == 0)
                return 0;
            m_start = 0;
            m_end = static_cast<std::size_t>(n);
        }
    }

private:
    int m_fd;
    char m_buffer[64 * 1024];
    std::size_t m_start = 0;
    std::size_t m_end = 0;
};

// Opens `path` for reading when it is a regular file; a pipe is opened without waiting for a
// writer, and then refused like anything else that is not a regular file.
int openRegularFile(const std::string& path, int& fd, std::int64_t& size) {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st;
    int error = 0;
    if (fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = kErrorNotRegularFile;
    if (error != 0) {
        ::close(fd);
        fd = -1;
        return error;
    }
    size = st.st_size;
    return 0;
}

// The file that `path` names once every symbolic link on the way there is followed, also when
// the last one dangles: the file to replace so that the links stay links.
int linkTarget(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0;; ++hops) {
        char link[PATH_MAX];
        // A symbolic link holds less than PATH_MAX bytes, so this never cuts one short.
        const ssize_t n = readlink(target.c_str(), link, sizeof link);
        if (n < 0)
            return errno == EINVAL || errno == ENOENT ? 0 : errno;  // no link, or nothing yet
        if (hops == 40)
            return ELOOP;
        const std::string_view text(link, static_cast<std::size_t>(n));
        const std::string_view directory = directoryOfPath(target);
        target = text.starts_with('/') || directory.empty()
                     ? std::string(text)
                     : pathInDirectory(std::string(directory), text);
    }
}

// A rename that refuses to replace, where the file system does not know RENAME_NOREPLACE: a
// file gets a hard link under the new name (which fails if the name is taken) before the old
// name goes; a directory, or a file on a file system without hard links, is renamed after the
// new name was seen to be free.
int renameWithoutFlag(int fromDir, const char* from, int toDir, const char* to) {
    struct stat st;
    if (fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode)) {
        if (linkat(fromDir, from, toDir, to, 0) == 0) {
            if (unlinkat(fromDir, from, 0) == 0)
                return 0;
            const int error = errno;
            unlinkat(toDir, to, 0);
            return error;
        }
        if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK)
            return errno;
    }
    if (fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

int renameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
        return renameWithoutFlag(fromDir, from, toDir, to);
    return errno;
}

bool sameEntry(int fromDir, const char* from, int toDir, const char* to) {
    struct stat sa;
    struct stat sb;
    return fstatat(fromDir, from, &sa, AT_SYMLINK_NOFOLLOW) == 0 &&
           fstatat(toDir, to, &sb, AT_SYMLINK_NOFOLLOW) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// The directory `path` (absolute) opened for use as a handle, with no symbolic link anywhere on
// the way; -1 with errno set otherwise (ELOOP or ENOTDIR for a link).
int openDirectoryWithoutLinks(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        errno = EINVAL;
        return -1;
    }
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
        return static_cast<int>(fd);
    // Kernels before 5.6: one component at a time, none of them a link.
    int dir = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 0;
    while (dir >= 0 && start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        // O_DIRECTORY with O_NOFOLLOW refuses a link (ENOTDIR) as it refuses a file.
        const int next = openat(dir, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(dir);
        dir = next;
        errno = error;
    }
    return dir;
}

class PosixRenameSession : public RenameSession {
public:
    ~PosixRenameSession() override { forget(); }

    int rename(const std::string& from, const std::string& to, std::string& strandedAt) override {
        strandedAt.clear();
        // The names are the ends of the paths, already ended by a NUL.
        const char* fromName = from.c_str() + (from.size() - nameOfPath(from).size());
        const char* toName = to.c_str() + (to.size() - nameOfPath(to).size());
        if (!*fromName || !*toName)
            return EINVAL;
        const std::string_view fromDirectory = directoryOfPath(from);
        const std::string_view toDirectory = directoryOfPath(to);
        int error = 0;
        const int fromDir = directory(fromDirectory, error);
        if (fromDir < 0)
            return error;
        int toDir = fromDir;
        int ownToDir = -1;
        if (toDirectory != fromDirectory) {
            ownToDir = openDirectoryWithoutLinks(std::string(toDirectory));
            if (ownToDir < 0)
                return errno;
            toDir = ownToDir;
        }
        error = renameIn(fromDir, fromDirectory, fromName, toDir, toName, strandedAt);
        if (ownToDir >= 0)
            ::close(ownToDir);
        return error;
    }

private:
    // The handle of `path`, kept for the renames that follow in the same directory.
    int directory(std::string_view path, int& error) {
        if (m_fd >= 0 && path == m_path)
            return m_fd;
        forget();
        m_path.assign(path);
        m_fd = openDirectoryWithoutLinks(m_path);
        if (m_fd < 0) {
            error = errno;
            m_path.clear();
            return -1;
        }
        return m_fd;
    }

    void forget() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_path.clear();
    }

    static int renameIn(int fromDir, std::string_view fromDirectory, const char* from, int toDir,
                        const char* to, std::string& strandedAt) {
        const int error = renameNoReplace(fromDir, from, toDir, to);
        if (error != EEXIST || (fromDir == toDir && std::strcmp(from, to) == 0) ||
            !sameEntry(fromDir, from, toDir, to))
            return error;
        // The new name finds the entry itself: a file system that ignores letter case (or two
        // links of one file). Go through a free temporary name so the change of case is made.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string temporary =
                ".zentarel-rename-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
            const int first = renameNoReplace(fromDir, from, fromDir, temporary.c_str());
            if (first == EEXIST)
                continue;
            if (first != 0)
                return first;
            const int second = renameNoReplace(fromDir, temporary.c_str(), toDir, to);
            if (second != 0 && renameNoReplace(fromDir, temporary.c_str(), fromDir, from) != 0)
                strandedAt = pathInDirectory(std::string(fromDirectory), temporary);
            return second;
        }
        return EEXIST;
    }

    std::string m_path;
    int m_fd = -1;
};

class PosixFileLock : public FileLock {
public:
    explicit PosixFileLock(int fd) : m_fd(fd) {}
    ~PosixFileLock() override { ::close(m_fd); }

private:
    int m_fd;
};

class PosixFileSystem : public FileSystem {
public:
    std::string initialDirectory() override {
        char* const path = getcwd(nullptr, 0);
        if (!path)
            return {};
        std::string directory(path);
        std::free(path);
        return directory;
    }

    int changeDirectory(const std::string& current, const std::string& path,
                        std::string& result) override {
        if (path.empty() || (current.empty() && !path.starts_with('/')))
            return ENOENT;
        if (path.find('\0') != std::string::npos)
            return EINVAL;
        if (path == "..") {
            result = parentOf(current);
            return 0;
        }
        const bool bareName = !path.empty() && path != "." && path.find('/') == std::string::npos;
        if (bareName) {
            // A subdirectory that is no link: its path is simply the joined one.
            const std::string joined = pathInDirectory(current, path);
            const int fd = open(joined.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                if (access(joined.c_str(), X_OK) != 0)
                    return errno;
                result = joined;
                return 0;
            }
            if (errno != ENOTDIR && errno != ELOOP)
                return errno;
        }
        const std::string absolute = path.starts_with('/') ? path : pathInDirectory(current, path);
        char* resolved = realpath(absolute.c_str(), nullptr);
        if (!resolved)
            return errno;
        std::string canonical(resolved);
        std::free(resolved);
        struct stat st;
        if (stat(canonical.c_str(), &st) != 0)
            return errno;
        if (!S_ISDIR(st.st_mode))
            return ENOTDIR;
        if (access(canonical.c_str(), X_OK) != 0)
            return errno;
        result = std::move(canonical);
        return 0;
    }

    std::unique_ptr<DirectoryListing> listDirectory(const std::string& path, int& error) override {
        DIR* dir = opendir(path.c_str());
        if (!dir) {
            error = errno;
            return nullptr;
        }
        error = 0;
        return std::make_unique<PosixListing>(dir, path);
    }

    int rename(const std::string& from, const std::string& to) override {
        return renameNoReplace(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
    }

    std::unique_ptr<RenameSession> openRenameSession() override {
        return std::make_unique<PosixRenameSession>();
    }

    bool exists(const std::string& path) override {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }

    std::unique_ptr<OutputFile> createFile(const std::string& path, int& error) override {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = errno;
            return nullptr;
        }
        error = 0;
        return std::make_unique<PosixOutputFile>(fd, false);
    }

    std::unique_ptr<OutputFile> createUnnamedFile(const std::string& path, int& error) override {
        const std::string_view folder = directoryOfPath(path);
        const std::string directory = folder.empty() ? "." : std::string(folder);
        const int fd = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) {
            // EISDIR: a kernel that does not know O_TMPFILE opens the folder itself.
            error = errno == EISDIR || errno == EINVAL ? EOPNOTSUPP : errno;
            return nullptr;
        }
        // Without /proc (a changed root) the file could never be given its name.
        if (access(("/proc/self/fd/" + std::to_string(fd)).c_str(), F_OK) != 0) {
            ::close(fd);
            error = EOPNOTSUPP;
            return nullptr;
        }
        error = 0;
        return std::make_unique<PosixOutputFile>(fd, true);
    }

    int removeFile(const std::string& path) override {
        return unlink(path.c_str()) == 0 ? 0 : errno;
    }

    int lockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override {
        // Not waiting for a writer, should the path name a pipe.
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        // The name may have been removed, or given to another file, between the open and the
        // lock: then what is locked is not what the name names.
        struct stat byDescriptor;
        struct stat byName;
        if (fstat(fd, &byDescriptor) != 0 || lstat(path.c_str(), &byName) != 0 ||
            byDescriptor.st_dev != byName.st_dev || byDescriptor.st_ino != byName.st_ino) {
            ::close(fd);
            return ENOENT;
        }
        lock = std::make_unique<PosixFileLock>(fd);
        return 0;
    }

    int syncDirectory(const std::string& path) override {
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return errno;
        const int error = fsync(fd) == 0 ? 0 : errno;
        ::close(fd);
        return error;
    }

    int createDirectories(const std::string& path) override {
        if (path.empty())
            return ENOENT;
        for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
            const std::string prefix = path.substr(0, slash);
            if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
                return errno;
            if (slash == std::string::npos)
                break;
        }
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            return errno;
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }

    int readFile(const std::string& path, std::string& content) override {
        int fd = -1;
        std::int64_t size = 0;
        if (const int error = openRegularFile(path, fd, size))
            return error;
        if (size > kMaxReadSize) {
            ::close(fd);
            return kErrorFileTooLarge;
        }
        content.clear();
        char buffer[64 * 1024];
        int error = 0;
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                error = errno;
            else if (content.size() + static_cast<std::size_t>(n) > kMaxReadSize)
                error = kErrorFileTooLarge;  // it grew while being read
            if (n <= 0 || error != 0)
                break;
            content.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return error;
    }

    std::unique_ptr<InputFile> openTextFile(const std::string& path, int& error) override {
        int fd = -1;
        std::int64_t size = 0;
        if ((error = openRegularFile(path, fd, size)) != 0)
            return nullptr;
        return std::make_unique<PosixInputFile>(fd);
    }

    int replaceFile(const std::string& link, std::string_view content) override {
        std::string path;
        if (const int error = linkTarget(link, path))
            return error;
        std::string temporary = path + ".XXXXXX";
        const int fd = mkstemp(temporary.data());
        if (fd < 0)
            return errno;
        // Keep the mode of the file being replaced; a new file gets the usual one.
        struct stat st;
        mode_t mode = 0;
        if (stat(path.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        int error = fchmod(fd, mode) == 0 ? 0 : errno;
        std::size_t done = 0;
        while (error == 0 && done < content.size()) {
            const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno != EINTR)
                error = errno;
            else if (n > 0)
                done += static_cast<std::size_t>(n);
        }
        if (error == 0 && fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
            error = errno;
        if (error != 0)
            unlink(temporary.c_str());
        return error;
    }
};

}  // namespace

std::string pathInDirectory(const std::string& directory, std::string_view name) {
    std::string path = directory;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

std::string_view directoryOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos)
        return {};
    // "/name" and the root's "//name" lie in "/".
    const std::size_t end = path.find_last_not_of('/', slash);
    return end == std::string_view::npos ? path.substr(0, 1) : path.substr(0, end + 1);
}

std::string_view nameOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string refusalText(int error) {
    if (error == kErrorNotRegularFile)
        return "not a regular file";
    if (error == kErrorFileTooLarge)
        return "larger than " + std::to_string(kMaxReadSize / (1024 * 1024)) + " MiB";
    return {};
}

std::unique_ptr<FileSystem> makePosixFileSystem() {
    return std::make_unique<PosixFileSystem>();
}

}  // namespace zr
