// SPDX-License-Identifier: GPL-3.0-or-later
// A slow file system for benchmarks: a FUSE passthrough to a folder that waits a set time in
// every lookup, listing, rename, open and read, as a network share does while the server answers. Calls run
// on several threads, so calls made at once wait at once.
// Usage: zr_slow_fs FOLDER MOUNTPOINT DELAY_MICROSECONDS [fuse options...]
#define FUSE_USE_VERSION 31

#include <dirent.h>
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int g_root = -1;
long g_delayMicroseconds = 0;

void wait() {
    if (g_delayMicroseconds > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(g_delayMicroseconds));
}

// The path below the backing folder, relative to its handle ("." for the root).
const char* relative(const char* path) {
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

int result(int value) {
    return value < 0 ? -errno : value;
}

void* onInit(fuse_conn_info*, fuse_config* config) {
    config->use_ino = 1;
    return nullptr;
}

int onGetattr(const char* path, struct stat* st, fuse_file_info*) {
    wait();
    return result(fstatat(g_root, relative(path), st, AT_SYMLINK_NOFOLLOW));
}

int onReadlink(const char* path, char* buffer, size_t size) {
    const ssize_t n = readlinkat(g_root, relative(path), buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = '\0';
    return 0;
}

int onOpendir(const char* path, fuse_file_info* info) {
    const int fd = openat(g_root, relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    info->fh = static_cast<uint64_t>(fd);
    return 0;
}

int onReaddir(const char*, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* info,
              fuse_readdir_flags) {
    wait();
    const int fd = dup(static_cast<int>(info->fh));
    DIR* dir = fdopendir(fd);
    if (!dir) {
        close(fd);
        return -errno;
    }
    rewinddir(dir);
    while (const dirent* d = ::readdir(dir)) {
        struct stat st {};
        st.st_ino = d->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(d->d_type));
        if (fill(buffer, d->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0)
            break;
    }
    closedir(dir);
    return 0;
}

int onReleasedir(const char*, fuse_file_info* info) {
    close(static_cast<int>(info->fh));
    return 0;
}

int onRename(const char* from, const char* to, unsigned int flags) {
    wait();
    return result(renameat2(g_root, relative(from), g_root, relative(to), flags));
}

int onAccess(const char* path, int mode) {
    return result(faccessat(g_root, relative(path), mode, AT_SYMLINK_NOFOLLOW));
}

int onMkdir(const char* path, mode_t mode) {
    return result(mkdirat(g_root, relative(path), mode));
}

int onUnlink(const char* path) {
    return result(unlinkat(g_root, relative(path), 0));
}

int onRmdir(const char* path) {
    return result(unlinkat(g_root, relative(path), AT_REMOVEDIR));
}

int onLink(const char* from, const char* to) {
    return result(linkat(g_root, relative(from), g_root, relative(to), 0));
}

int onOpen(const char* path, fuse_file_info* info) {
    wait();
    const int fd = openat(g_root, relative(path), info->flags | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    info->fh = static_cast<uint64_t>(fd);
    return 0;
}

int onCreate(const char* path, mode_t mode, fuse_file_info* info) {
    const int fd = openat(g_root, relative(path), info->flags | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0)
        return -errno;
    info->fh = static_cast<uint64_t>(fd);
    return 0;
}

int onRead(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    wait();
    return result(static_cast<int>(pread(static_cast<int>(info->fh), buffer, size, offset)));
}

int onWrite(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* info) {
    return result(static_cast<int>(pwrite(static_cast<int>(info->fh), buffer, size, offset)));
}

int onRelease(const char*, fuse_file_info* info) {
    close(static_cast<int>(info->fh));
    return 0;
}

int onStatfs(const char*, struct statvfs* st) {
    return result(fstatvfs(g_root, st));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: zr_slow_fs FOLDER MOUNTPOINT DELAY_MICROSECONDS [fuse options...]\n",
                   stderr);
        return 2;
    }
    g_root = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_root < 0) {
        std::perror(argv[1]);
        return 2;
    }
    g_delayMicroseconds = std::strtol(argv[3], nullptr, 10);
    fuse_operations operations{};
    operations.init = onInit;
    operations.getattr = onGetattr;
    operations.readlink = onReadlink;
    operations.opendir = onOpendir;
    operations.readdir = onReaddir;
    operations.releasedir = onReleasedir;
    operations.rename = onRename;
    operations.access = onAccess;
    operations.mkdir = onMkdir;
    operations.unlink = onUnlink;
    operations.rmdir = onRmdir;
    operations.link = onLink;
    operations.open = onOpen;
    operations.create = onCreate;
    operations.read = onRead;
    operations.write = onWrite;
    operations.release = onRelease;
    operations.statfs = onStatfs;
    // Foreground and many threads; the rest as the caller asks.
    std::vector<char*> args{argv[0], argv[2], const_cast<char*>("-f")};
    for (int i = 4; i < argc; ++i)
        args.push_back(argv[i]);
    return fuse_main(static_cast<int>(args.size()), args.data(), &operations, nullptr);
}
