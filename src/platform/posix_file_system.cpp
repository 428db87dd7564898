// SPDX-License-Identifier: GPL-3.0-or-later
// The real file system, on POSIX calls: readdir for listings (every name, whatever its bytes),
// lstat semantics for sizes, times and the directory test, renameat2 with RENAME_NOREPLACE for
// renames, relative to directory handles opened without following links, and the device and
// inode of entries and folders to tell them apart.
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "platform/calls_in_flight.h"
#include "platform/file_system.h"

namespace zr {

namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

FileId idOf(const struct stat& st) {
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

// The identity of the open descriptor `fd`; unknown when it cannot be told.
FileId idOfDescriptor(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 ? idOf(st) : FileId{};
}

// The mount points of the process as a walk began (from /proc/self/mountinfo), so that the walk
// crosses into a file system mounted then and refuses one mounted under it since. Without
// /proc, no mount point is known, and none is crossed.
class MountPoints {
public:
    MountPoints() {
        FILE* file = std::fopen("/proc/self/mountinfo", "re");
        if (!file)
            return;
        char* line = nullptr;
        std::size_t size = 0;
        while (getline(&line, &size, file) > 0) {
            // ID PARENT MAJOR:MINOR ROOT MOUNT_POINT ...; the mount point has " ", tab, line
            // feed and backslash written as octal escapes.
            const char* field = line;
            for (int skip = 0; skip < 4 && field; ++skip) {
                field = std::strchr(field, ' ');
                if (field)
                    ++field;
            }
            if (!field)
                continue;
            std::string point;
            for (const char* c = field; *c && *c != ' ' && *c != '\n'; ++c) {
                if (c[0] == '\\' && c[1] >= '0' && c[1] <= '3' && c[2] && c[3]) {
                    point += static_cast<char>((c[1] - '0') * 64 + (c[2] - '0') * 8 + (c[3] - '0'));
                    c += 3;
                } else {
                    point += *c;
                }
            }
            m_points.push_back(std::move(point));
        }
        std::free(line);
        std::fclose(file);
        std::sort(m_points.begin(), m_points.end());
    }

    bool has(const std::string& path) const {
        return std::binary_search(m_points.begin(), m_points.end(), path);
    }

private:
    std::vector<std::string> m_points;
};

// Whether the open folder `fd` is the root of a mount, as the kernel says (Linux 5.8), or else
// by a device other than its parent's.
bool isMountRoot(int fd, const FileId& parent, FileId& id) {
    struct statx stx {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_INO, &stx) != 0) {
        id = idOfDescriptor(fd);
        return parent.known() && id.device != parent.device;
    }
    id = FileId{static_cast<std::uint64_t>(makedev(stx.stx_dev_major, stx.stx_dev_minor)),
                stx.stx_ino};
    if (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    return parent.known() && id.device != parent.device;
}

// A listing of the directory `path`.
class PosixListing : public DirectoryListing {
public:
    // `identity` is the folder's; read from the listing's descriptor when unknown. It is known
    // from then on, so that threads reading ahead may ask for it while the walk does.
    PosixListing(DIR* dir, std::string path, std::shared_ptr<const MountPoints> mounts,
                 FileId identity = {})
        : m_dir(dir),
          m_path(std::move(path)),
          m_mounts(std::move(mounts)),
          m_identity(identity.known() ? identity : idOfDescriptor(dirfd(dir))) {}

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
        // Another file system is crossed only where one was mounted as the walk began.
        FileId id;
        if (isMountRoot(fd, identity(), id) && !m_mounts->has(path)) {
            ::close(fd);
            return kErrorMountedSince;
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
        listing = std::make_unique<PosixListing>(dir, std::move(path), m_mounts, id);
        return 0;
    }
    ~PosixListing() override { closedir(m_dir); }

    FileId identity() override { return m_identity; }

    bool entryId(const DirEntry& entry, FileId& id) override {
        // The inodes a listing gives are those of the entries on most file systems, but not on
        // all (some FUSE file systems, overlays of several file systems, a mount point's entry):
        // seen to match on one file, they are taken for the folder's files.
        const FileId folder = identity();
        if (m_inodesTrue == Trust::Yes && !entry.isDirectory && entry.inode != 0) {
            id = FileId{folder.device, entry.inode};
            return true;
        }
        struct stat st;
        if (fstatat(dirfd(m_dir), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        id = idOf(st);
        if (m_inodesTrue == Trust::Unknown && !entry.isDirectory && folder.known())
            m_inodesTrue = id == FileId{folder.device, entry.inode} ? Trust::Yes : Trust::No;
        return true;
    }

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
        entry.inode = d->d_ino;
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

    int openFile(const std::string& name, ReadOnlyFile& file) override {
        return ReadOnlyFile::open(dirfd(m_dir), name, file);
    }
    int stampFile(const std::string& name, FileStamp& stamp) override {
        return ReadOnlyFile::stampOf(dirfd(m_dir), name, stamp);
    }

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
    enum class Trust { Unknown, Yes, No };

    DIR* m_dir;
    int m_readError = 0;
    std::string m_path;
    std::shared_ptr<const MountPoints> m_mounts;
    const FileId m_identity;
    Trust m_inodesTrue = Trust::Unknown;
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

// Reads through a buffer, one line at a time; closes the descriptor it owns.
class PosixInputFile : public InputFile {
public:
    explicit PosixInputFile(int fd, bool owned = true) : m_fd(fd), m_owned(owned) {}
    ~PosixInputFile() override {
        if (m_owned)
            ::close(m_fd);
    }

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
    bool m_owned;
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

// Removes the claim on `name` in `dir` made by renameByClaim(), if the name still holds it.
void dropClaim(int dir, const char* name, const FileId& claim, bool folder) {
    struct stat st;
    if (fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && idOf(st) == claim)
        unlinkat(dir, name, folder ? AT_REMOVEDIR : 0);
}

// A rename that refuses to replace, where the file system does not know RENAME_NOREPLACE: the
// new name is claimed first with an empty entry of the program's own (an exclusive create, or
// a new folder for a folder), which another client can no longer take, and the rename then
// replaces that entry. A claim that fails is EEXIST; the claim is removed on every failure.
int renameByClaim(int fromDir, const char* from, int toDir, const char* to) {
    struct stat st;
    if (fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    const bool folder = S_ISDIR(st.st_mode);
    FileId claim;
    if (folder) {
        if (mkdirat(toDir, to, 0700) != 0)
            return errno;
        struct stat made;
        if (fstatat(toDir, to, &made, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            unlinkat(toDir, to, AT_REMOVEDIR);
            return error;
        }
        claim = idOf(made);
    } else {
        const int fd =
            openat(toDir, to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return errno;
        claim = idOfDescriptor(fd);
        ::close(fd);
    }
    // Whoever opened the claimed name meanwhile and wrote into it made it theirs: it stays.
    struct stat now;
    if (fstatat(toDir, to, &now, AT_SYMLINK_NOFOLLOW) != 0 || idOf(now) != claim ||
        (!folder && now.st_size != 0))
        return EEXIST;
    if (renameat(fromDir, from, toDir, to) == 0)
        return 0;
    const int error = errno;
    dropClaim(toDir, to, claim, folder);
    return error;
}

int renameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
        return renameByClaim(fromDir, from, toDir, to);
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
    ~PosixRenameSession() override { forgetFolders(); }

    int rename(const RenameRequest& request, std::string& strandedAt) override {
        strandedAt.clear();
        const std::string& from = request.from;
        const std::string& to = request.to;
        // The names are the ends of the paths, already ended by a NUL.
        const char* fromName = from.c_str() + (from.size() - nameOfPath(from).size());
        const char* toName = to.c_str() + (to.size() - nameOfPath(to).size());
        if (!*fromName || !*toName)
            return EINVAL;
        const std::string_view fromDirectory = directoryOfPath(from);
        const std::string_view toDirectory = directoryOfPath(to);
        int error = 0;
        const int fromDir = folder(fromDirectory, request.folder, error);
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
        const char* temporary = request.temporary.c_str();
        bool atTemporary = false;
        // An undo renames back only the entry the run renamed, from where the run left it.
        if (request.entry.known())
            error = find(request.entry, fromName, temporary, toDir == fromDir ? toName : nullptr,
                         atTemporary);
        const char* source = atTemporary ? temporary : fromName;
        if (error == 0)
            error = renameIn(fromDir, fromDirectory, source, toDir, toName, temporary, strandedAt);
        if (ownToDir >= 0)
            ::close(ownToDir);
        if (error == 0 && toDir == fromDir)
            m_folder.moved(source, toName);
        else if (error != kAlreadyInPlace && error != kErrorNotTheEntry)
            m_folder.forgetListing();
        return error;
    }

    int locate(const RenameRequest& request, bool& atTemporary) override {
        atTemporary = false;
        if (!request.entry.known())
            return 0;
        const std::string_view fromName = nameOfPath(request.from);
        const std::string_view toName = nameOfPath(request.to);
        if (fromName.empty() || toName.empty() ||
            directoryOfPath(request.from) != directoryOfPath(request.to))
            return EINVAL;
        int error = 0;
        if (folder(directoryOfPath(request.from), request.folder, error) < 0)
            return error;
        return find(request.entry, std::string(fromName).c_str(), request.temporary.c_str(),
                    std::string(toName).c_str(), atTemporary);
    }

    void forgetFolders() override {
        if (m_folder.fd >= 0)
            ::close(m_folder.fd);
        m_folder = Folder{};
    }

private:
    // The folder whose renames are under way: its handle, and the inodes its listing gives, read
    // when an undo first asks which entry a name holds.
    struct Folder {
        std::string path;
        int fd = -1;
        FileId id;
        std::chrono::steady_clock::time_point checkedAt;
        bool listed = false;
        // Whether the listing's inodes are the entries' own (seen on one of its files).
        bool inodesTrue = false;
        std::unordered_map<std::string, std::uint64_t> inodes;

        void forgetListing() {
            listed = false;
            inodes.clear();
        }
        // After a rename this session made in the folder.
        void moved(const char* from, const char* to) {
            if (!listed)
                return;
            const auto it = inodes.find(from);
            if (it == inodes.end()) {
                forgetListing();
                return;
            }
            const std::uint64_t inode = it->second;
            inodes.erase(it);
            inodes[to] = inode;
        }
    };

    // How long a folder's handle is used before it is compared with its path again.
    static constexpr std::chrono::milliseconds kRecheck{10};

    // The handle of the folder `path`, which must be the folder `expected` (when known).
    int folder(std::string_view path, const FileId& expected, int& error) {
        const auto now = std::chrono::steady_clock::now();
        if (m_folder.fd >= 0 && path == m_folder.path) {
            if (now - m_folder.checkedAt < kRecheck)
                return m_folder.fd;
            // Still where it was? A folder moved away, or covered by a mount, takes no more.
            const int fd = openDirectoryWithoutLinks(m_folder.path);
            const FileId there = fd >= 0 ? idOfDescriptor(fd) : FileId{};
            if (fd >= 0)
                ::close(fd);
            if (there != m_folder.id) {
                m_lostPath = m_folder.path;
                forgetFolders();
                error = kErrorFolderChanged;
                return -1;
            }
            m_folder.checkedAt = now;
            return m_folder.fd;
        }
        // A folder found moved away goes on failing, without being looked for again.
        if (!m_lostPath.empty() && path == m_lostPath) {
            error = kErrorFolderChanged;
            return -1;
        }
        forgetFolders();
        const int fd = openDirectoryWithoutLinks(std::string(path));
        if (fd < 0) {
            error = errno == ENOENT && expected.known() ? kErrorFolderChanged : errno;
            return -1;
        }
        const FileId id = idOfDescriptor(fd);
        if (expected.known() && id != expected) {
            ::close(fd);
            error = kErrorFolderChanged;
            return -1;
        }
        m_lostPath.clear();
        m_folder.path.assign(path);
        m_folder.fd = fd;
        m_folder.id = id;
        m_folder.checkedAt = now;
        return fd;
    }

    // Where the entry `id` of the current folder is: under `from` (0), `temporary` (0 and
    // `atTemporary`), `to` (kAlreadyInPlace), or none of them (kErrorNotTheEntry).
    int find(const FileId& id, const char* from, const char* temporary, const char* to,
             bool& atTemporary) {
        atTemporary = false;
        if (holds(from, id))
            return 0;
        if (*temporary && holds(temporary, id)) {
            atTemporary = true;
            return 0;
        }
        return to && holds(to, id) ? kAlreadyInPlace : kErrorNotTheEntry;
    }

    // Whether the name `name` of the current folder holds the entry `id`. The folder is listed
    // once (one call for many entries, where a look at each would cost as much as its rename),
    // and the listing's inodes are used once they are seen to be the entries' own.
    bool holds(const char* name, const FileId& id) {
        Folder& f = m_folder;
        if (!f.listed)
            list(f);
        const auto it = f.inodes.find(name);
        if (f.inodesTrue) {
            // Names as the folder holds them, byte for byte (a file system that ignores case
            // would find "a.jpg" for "A.JPG").
            if (it == f.inodes.end() || it->second != id.inode)
                return false;
            if (id.device == f.id.device)
                return true;
        }
        struct stat st;
        return fstatat(f.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && idOf(st) == id;
    }

    // Reads the names and inodes of the folder `f`, and whether those inodes are the entries'
    // own, as seen on a file of it.
    static void list(Folder& f) {
        f.listed = true;
        f.inodesTrue = false;
        const int fd = openat(f.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
        if (!dir) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        std::string sample;
        while (const dirent* d = readdir(dir)) {
            f.inodes.emplace(d->d_name, d->d_ino);
            if (sample.empty() && d->d_type == DT_REG)
                sample = d->d_name;
        }
        closedir(dir);
        struct stat st;
        f.inodesTrue = !sample.empty() &&
                       fstatat(f.fd, sample.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                       idOf(st) == FileId{f.id.device, f.inodes[sample]};
    }

    static int renameIn(int fromDir, std::string_view fromDirectory, const char* from, int toDir,
                        const char* to, const char* temporary, std::string& strandedAt) {
        const int error = renameNoReplace(fromDir, from, toDir, to);
        if (error != EEXIST || (fromDir == toDir && std::strcmp(from, to) == 0) ||
            !sameEntry(fromDir, from, toDir, to))
            return error;
        // The new name finds the entry itself: a file system that ignores letter case (or two
        // links of one file). Go through a free temporary name so the change of case is made:
        // the one decided for it, or else one of this process's own.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string ownName =
                ".zentarel-rename-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
            const char* detour = *temporary ? temporary : ownName.c_str();
            const int first = renameNoReplace(fromDir, from, fromDir, detour);
            if (first == EEXIST && !*temporary)
                continue;
            if (first != 0)
                return first;
            const int second = renameNoReplace(fromDir, detour, toDir, to);
            if (second != 0 && renameNoReplace(fromDir, detour, fromDir, from) != 0)
                strandedAt = pathInDirectory(std::string(fromDirectory), detour);
            return second;
        }
        return EEXIST;
    }

    Folder m_folder;
    std::string m_lostPath;
};

class PosixFileLock : public FileLock {
public:
    PosixFileLock(int fd, FileId id) : m_fd(fd), m_id(id) {}
    ~PosixFileLock() override { ::close(m_fd); }

    FileId identity() const override { return m_id; }

    std::unique_ptr<InputFile> read(int& error) override {
        if (lseek(m_fd, 0, SEEK_SET) != 0) {
            error = errno;
            return nullptr;
        }
        error = 0;
        return std::make_unique<PosixInputFile>(m_fd, false);
    }

private:
    int m_fd;
    FileId m_id;
};

class PosixFileSystem : public FileSystem {
public:
    bool processorFree() override {
        std::string stat;
        if (readFile("/proc/stat", stat) != 0)
            return true;  // not known: the trial itself tells whether calls in flight pay
        return processorFreeIn(stat, sysconf(_SC_NPROCESSORS_ONLN));
    }

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
        return std::make_unique<PosixListing>(dir, path, std::make_shared<const MountPoints>());
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

    int removeFileIf(const std::string& path, const FileId& expected) override {
        FileId id;
        if (const int error = identify(path, id))
            return error;
        if (id != expected)
            return kErrorNotTheEntry;
        return unlink(path.c_str()) == 0 ? 0 : errno;
    }

    int identify(const std::string& path, FileId& id) override {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            return errno;
        id = idOf(st);
        return 0;
    }

    int lockFile(const std::string& path, std::unique_ptr<FileLock>& lock) override {
        // Not waiting for a writer, should the path name a pipe.
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        struct stat byDescriptor;
        int error = fstat(fd, &byDescriptor) != 0 ? errno : 0;
        if (error == 0 && !S_ISREG(byDescriptor.st_mode))
            error = kErrorNotRegularFile;
        if (error == 0 && flock(fd, LOCK_EX | LOCK_NB) != 0)
            error = errno;
        // The name may have been removed, or given to another file, between the open and the
        // lock: then what is locked is not what the name names.
        struct stat byName;
        if (error == 0 && (lstat(path.c_str(), &byName) != 0 || idOf(byDescriptor) != idOf(byName)))
            error = ENOENT;
        if (error != 0) {
            ::close(fd);
            return error;
        }
        lock = std::make_unique<PosixFileLock>(fd, idOf(byDescriptor));
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

void raiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace zr
