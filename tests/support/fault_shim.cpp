// SPDX-License-Identifier: GPL-3.0-or-later
// A preload library that makes chosen system calls of a program fail, or pause, so that tests
// reach the error branches of the real POSIX layer and can change the disk at an exact moment.
// It is loaded with LD_PRELOAD=<this library> and reads its rules from ZR_FAULTS:
//
//   ZR_FAULTS=rule[,rule...]     rule = CALL[~TEXT][@N]=ACTION
//
// CALL names a group of calls:
//   open       open, open64, openat, openat64, creat, mkstemp and its kin, and openat2
//   openat2    openat2 alone (reached through syscall(), which this library wraps for it)
//   tmpfile    an open with O_TMPFILE (an unnamed file; its path is the directory)
//   rename     renameat2, renameat, rename          renameat2   renameat2 alone
//   link       link, linkat                         unlink      unlink, unlinkat
//   stat       stat, lstat, fstatat, fstat and their 64-bit forms
//   access     access, faccessat                    mkdir       mkdir, mkdirat
//   opendir    opendir, fdopendir                   readdir     readdir, readdir64
//   readlink   readlink, readlinkat                 chmod       chmod, fchmod, fchmodat
//   read (read, pread), write, fsync (fsync, fdatasync), close, getcwd
// ~TEXT limits the rule to calls whose path (either path of a rename or link; for calls on a
// descriptor the path it was opened with) contains TEXT; "^" at its start and "$" at its end
// anchor it. @N fires on the N-th matching call only, counting from 1; without it every
// matching call fires. ACTION is an errno name (EACCES, ENOSPC, ...) or number; "pause": the call
// creates $ZR_FAULTS_DIR/paused and waits until $ZR_FAULTS_DIR/resume exists before it goes on
// (at most a minute); "sleepMS": the call waits MS milliseconds and then goes on, as on a slow
// disk; for readdir, "unknown": the entry comes back without its type (DT_UNKNOWN), as some file
// systems deliver it, and an errno ends the listing there with that error (the entry is lost).
// For readdir, TEXT is matched against the entry's name.
//
// The rule "casefold=on" makes the file system ignore the case of ASCII letters in names, as FAT,
// exFAT and many network shares do: a name that does not exist finds an entry that differs from
// it only in case (for the stat calls, and for the source of a rename), and a new name that
// differs only in case from an existing entry is taken (a rename with RENAME_NOREPLACE, an
// exclusive create, mkdir). A plain rename onto such a name replaces that entry.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum Call {
    kOpen,
    kOpenat2,
    kTmpfile,
    kRename,
    kRenameat2,
    kLink,
    kUnlink,
    kStat,
    kAccess,
    kMkdir,
    kOpendir,
    kReaddir,
    kReadlink,
    kChmod,
    kRead,
    kWrite,
    kFsync,
    kClose,
    kGetcwd,
    kCallCount
};

const char* const kCallNames[kCallCount] = {"open",    "openat2", "tmpfile",  "rename", "renameat2",
                                            "link",    "unlink",  "stat",     "access", "mkdir",
                                            "opendir", "readdir", "readlink", "chmod",  "read",
                                            "write",   "fsync",   "close",    "getcwd"};

constexpr int kMaxRules = 16;
constexpr int kMaxTracked = 1024;
constexpr int kPause = -1;
constexpr int kUnknownType = -2;
// Actions at or below this are sleeps of (kSleep - action) milliseconds.
constexpr int kSleep = -3;

struct Rule {
    Call call;
    char text[256];
    bool anchorStart;
    bool anchorEnd;
    long nth;  // 0: every matching call
    long seen;
    int action;  // an errno, kPause, kUnknownType or a sleep (at or below kSleep)
};

Rule g_rules[kMaxRules];
int g_ruleCount = 0;
bool g_parsed = false;
bool g_casefold = false;
// The paths of descriptors opened while a rule names a call on a descriptor with a text.
char* g_fdPaths[kMaxTracked];

struct ErrnoName {
    const char* name;
    int value;
};

const ErrnoName kErrnoNames[] = {
    {"EACCES", EACCES}, {"EPERM", EPERM},   {"ENOENT", ENOENT}, {"EEXIST", EEXIST},
    {"ENOSPC", ENOSPC}, {"EIO", EIO},       {"EROFS", EROFS},   {"EINVAL", EINVAL},
    {"ENOSYS", ENOSYS}, {"EXDEV", EXDEV},   {"EMFILE", EMFILE}, {"ENOTDIR", ENOTDIR},
    {"EBUSY", EBUSY},   {"EDQUOT", EDQUOT}, {"ELOOP", ELOOP},   {"EOPNOTSUPP", EOPNOTSUPP},
    {"EMLINK", EMLINK}, {"EINTR", EINTR},   {"ENOMEM", ENOMEM}, {"EISDIR", EISDIR},
    {"EFBIG", EFBIG},   {"ENODEV", ENODEV}, {"ERANGE", ERANGE}, {"ENAMETOOLONG", ENAMETOOLONG},
};

int parseAction(const char* text) {
    if (std::strcmp(text, "pause") == 0)
        return kPause;
    if (std::strcmp(text, "unknown") == 0)
        return kUnknownType;
    if (std::strncmp(text, "sleep", 5) == 0)
        return kSleep - std::atoi(text + 5);
    for (const ErrnoName& e : kErrnoNames) {
        if (std::strcmp(text, e.name) == 0)
            return e.value;
    }
    const int number = std::atoi(text);
    if (number > 0)
        return number;
    std::fprintf(stderr, "fault shim: unknown action '%s'\n", text);
    std::abort();
}

void parseRule(char* text) {
    if (g_ruleCount == kMaxRules)
        return;
    Rule& rule = g_rules[g_ruleCount];
    char* equals = std::strrchr(text, '=');
    if (!equals) {
        std::fprintf(stderr, "fault shim: a rule without '=': '%s'\n", text);
        std::abort();
    }
    *equals = '\0';
    if (std::strcmp(text, "casefold") == 0 && std::strcmp(equals + 1, "on") == 0) {
        g_casefold = true;
        return;
    }
    rule.action = parseAction(equals + 1);
    if (char* at = std::strrchr(text, '@')) {
        *at = '\0';
        rule.nth = std::atol(at + 1);
    }
    if (char* tilde = std::strchr(text, '~')) {
        *tilde = '\0';
        const char* match = tilde + 1;
        rule.anchorStart = *match == '^';
        if (rule.anchorStart)
            ++match;
        std::snprintf(rule.text, sizeof rule.text, "%s", match);
        const std::size_t length = std::strlen(rule.text);
        rule.anchorEnd = length > 0 && rule.text[length - 1] == '$';
        if (rule.anchorEnd)
            rule.text[length - 1] = '\0';
    }
    for (int c = 0; c < kCallCount; ++c) {
        if (std::strcmp(text, kCallNames[c]) == 0) {
            rule.call = static_cast<Call>(c);
            ++g_ruleCount;
            return;
        }
    }
    std::fprintf(stderr, "fault shim: unknown call '%s'\n", text);
    std::abort();
}

// Read once as the library is loaded, before the program can start threads.
__attribute__((constructor)) void parseRules() {
    if (g_parsed)
        return;
    g_parsed = true;
    const char* rules = std::getenv("ZR_FAULTS");
    if (!rules)
        return;
    static char copy[4096];
    std::snprintf(copy, sizeof copy, "%s", rules);
    char* save = nullptr;
    for (char* rule = strtok_r(copy, ",", &save); rule; rule = strtok_r(nullptr, ",", &save))
        parseRule(rule);
}

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// With "casefold=on": the entry of the folder that `path` (relative to `dirfd`) lies in whose name
// differs from the last part of `path` only in the case of ASCII letters; its path, in the same
// form as `path`, is written to `out`. False when there is none (or the name exists as it is).
bool caseVariant(int dirfd, const char* path, char* out, std::size_t size) {
    if (!g_casefold || !path)
        return false;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    char folder[4096];
    if (slash)
        std::snprintf(folder, sizeof folder, "%.*s", static_cast<int>(slash - path + 1), path);
    else
        std::snprintf(folder, sizeof folder, ".");
    const int fd = real<int (*)(int, const char*, int, ...)>("openat")(
        dirfd, folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return false;
    DIR* dir = real<DIR* (*)(int)>("fdopendir")(fd);
    if (!dir) {
        real<int (*)(int)>("close")(fd);
        return false;
    }
    bool found = false;
    bool exact = false;
    const auto next = real<dirent64* (*)(DIR*)>("readdir64");
    while (const dirent64* entry = next(dir)) {
        if (std::strcmp(entry->d_name, name) == 0) {
            exact = true;
        } else if (!found && strcasecmp(entry->d_name, name) == 0) {
            found = true;
            std::snprintf(out, size, "%.*s%s", static_cast<int>(name - path), path, entry->d_name);
        }
    }
    closedir(dir);
    return found && !exact;
}

// The path a lookup of `path` finds: itself, or the entry differing from it only in case.
const char* lookedUp(int dirfd, const char* path, char* buffer, std::size_t size) {
    return caseVariant(dirfd, path, buffer, size) ? buffer : path;
}

// A rename that may replace its target. The new name finds an entry differing from it only in
// case: the entry moves onto that one, and then takes the new name's spelling.
int plainRename(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    const auto plain = real<int (*)(int, const char*, int, const char*)>("renameat");
    char source[4096];
    char taken[4096];
    oldpath = lookedUp(olddirfd, oldpath, source, sizeof source);
    if (caseVariant(newdirfd, newpath, taken, sizeof taken))
        return plain(olddirfd, oldpath, newdirfd, taken) == 0
                   ? plain(newdirfd, taken, newdirfd, newpath)
                   : -1;
    return plain(olddirfd, oldpath, newdirfd, newpath);
}

bool onDescriptor(Call c) {
    return c == kRead || c == kWrite || c == kFsync || c == kClose || c == kStat || c == kChmod ||
           c == kOpendir || c == kReaddir;
}

bool needsTracking() {
    parseRules();
    for (int i = 0; i < g_ruleCount; ++i) {
        if (onDescriptor(g_rules[i].call) && g_rules[i].text[0])
            return true;
    }
    return false;
}

void track(int fd, const char* path) {
    if (fd < 0 || fd >= kMaxTracked || !needsTracking())
        return;
    std::free(g_fdPaths[fd]);
    g_fdPaths[fd] = path ? strdup(path) : nullptr;
}

const char* trackedPath(int fd) {
    return fd >= 0 && fd < kMaxTracked ? g_fdPaths[fd] : nullptr;
}

bool matches(const Rule& rule, const char* path) {
    if (!path)
        return false;
    const std::size_t length = std::strlen(path);
    const std::size_t textLength = std::strlen(rule.text);
    if (rule.anchorStart && rule.anchorEnd)
        return std::strcmp(path, rule.text) == 0;
    if (rule.anchorStart)
        return std::strncmp(path, rule.text, textLength) == 0;
    if (rule.anchorEnd)
        return length >= textLength && std::strcmp(path + length - textLength, rule.text) == 0;
    return std::strstr(path, rule.text) != nullptr;
}

void pause() {
    const char* dir = std::getenv("ZR_FAULTS_DIR");
    if (!dir)
        return;
    char path[4096];
    std::snprintf(path, sizeof path, "%s/paused", dir);
    const int fd = real<int (*)(const char*, int, ...)>("open")(path, O_WRONLY | O_CREAT, 0644);
    if (fd >= 0)
        real<int (*)(int)>("close")(fd);
    std::snprintf(path, sizeof path, "%s/resume", dir);
    const auto statReal = real<int (*)(const char*, struct stat*)>("stat");
    struct stat st;
    for (int waited = 0; waited < 6000 && statReal(path, &st) != 0; ++waited)
        usleep(10 * 1000);
}

// The action of the first rule that fires for the call (an errno or kUnknownType), or 0 after a
// pause or when none fires.
int fault(Call call, const char* path, const char* other = nullptr) {
    parseRules();
    for (int i = 0; i < g_ruleCount; ++i) {
        Rule& rule = g_rules[i];
        if (rule.call != call)
            continue;
        if (rule.text[0] && !matches(rule, path) && !matches(rule, other))
            continue;
        // Calls come from several threads: each one counts once.
        const long seen = __atomic_add_fetch(&rule.seen, 1, __ATOMIC_SEQ_CST);
        if (rule.nth != 0 && seen != rule.nth)
            continue;
        if (rule.action <= kSleep)
            usleep(static_cast<useconds_t>(kSleep - rule.action) * 1000);
        else if (rule.action == kPause)
            pause();
        else
            return rule.action;
    }
    return 0;
}

// Sets errno and tells whether the call is to fail.
bool failed(Call call, const char* path, const char* other = nullptr) {
    const int error = fault(call, path, other);
    if (error <= 0)
        return false;
    errno = error;
    return true;
}

bool failedOpen(const char* path, int flags) {
    if ((flags & O_TMPFILE) == O_TMPFILE && failed(kTmpfile, path))
        return true;
    return failed(kOpen, path);
}

mode_t modeOf(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

int openVia(const char* name, int dirfd, const char* path, int flags, mode_t mode) {
    if (failedOpen(path, flags))
        return -1;
    char taken[4096];
    const int at = dirfd == AT_FDCWD + 1 ? AT_FDCWD : dirfd;
    if ((flags & O_CREAT) && (flags & O_EXCL) && caseVariant(at, path, taken, sizeof taken)) {
        errno = EEXIST;
        return -1;
    }
    int fd;
    if (dirfd == AT_FDCWD + 1)  // the plain open family
        fd = real<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    else
        fd = real<int (*)(int, const char*, int, ...)>(name)(dirfd, path, flags, mode);
    track(fd, path);
    return fd;
}

// A failing read loses the entry it was reading, as a read error of the folder does.
template <class Entry>
Entry* readEntry(Entry* entry) {
    if (!entry)
        return entry;
    const int action = fault(kReaddir, entry->d_name);
    if (action == kUnknownType)
        entry->d_type = DT_UNKNOWN;
    else if (action > 0) {
        errno = action;
        return nullptr;
    }
    return entry;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return openVia("open", AT_FDCWD + 1, path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return openVia("open64", AT_FDCWD + 1, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return openVia("openat", dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return openVia("openat64", dirfd, path, flags, mode);
}

int creat(const char* path, mode_t mode) {
    return openVia("open", AT_FDCWD + 1, path, O_WRONLY | O_CREAT | O_TRUNC, mode);
}

// glibc opens the file of mkstemp internally, where a preload cannot see it.
int mkstemp(char* pattern) {
    if (failed(kOpen, pattern))
        return -1;
    const int fd = real<int (*)(char*)>("mkstemp")(pattern);
    track(fd, pattern);
    return fd;
}

int mkostemp(char* pattern, int flags) {
    if (failed(kOpen, pattern))
        return -1;
    const int fd = real<int (*)(char*, int)>("mkostemp")(pattern, flags);
    track(fd, pattern);
    return fd;
}

// openat2 has no libc wrapper: programs reach it through syscall().
long syscall(long number, ...) {
    va_list args;
    va_start(args, number);
    long a[6];
    for (long& arg : a)
        arg = va_arg(args, long);
    va_end(args);
    if (number == SYS_openat2) {
        const char* path = reinterpret_cast<const char*>(a[1]);
        if (failed(kOpenat2, path) || failed(kOpen, path))
            return -1;
    }
    const long result =
        real<long (*)(long, ...)>("syscall")(number, a[0], a[1], a[2], a[3], a[4], a[5]);
    if (number == SYS_openat2)
        track(static_cast<int>(result), reinterpret_cast<const char*>(a[1]));
    return result;
}

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
              unsigned int flags) {
    if (failed(kRenameat2, oldpath, newpath) || failed(kRename, oldpath, newpath))
        return -1;
    char source[4096];
    char taken[4096];
    if (caseVariant(newdirfd, newpath, taken, sizeof taken)) {
        if (flags & RENAME_NOREPLACE) {
            errno = EEXIST;
            return -1;
        }
        return plainRename(olddirfd, oldpath, newdirfd, newpath);
    }
    oldpath = lookedUp(olddirfd, oldpath, source, sizeof source);
    return real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2")(
        olddirfd, oldpath, newdirfd, newpath, flags);
}

int renameat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    if (failed(kRename, oldpath, newpath))
        return -1;
    return plainRename(olddirfd, oldpath, newdirfd, newpath);
}

int rename(const char* oldpath, const char* newpath) {
    if (failed(kRename, oldpath, newpath))
        return -1;
    return real<int (*)(const char*, const char*)>("rename")(oldpath, newpath);
}

int link(const char* oldpath, const char* newpath) {
    if (failed(kLink, oldpath, newpath))
        return -1;
    return real<int (*)(const char*, const char*)>("link")(oldpath, newpath);
}

int linkat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath, int flags) {
    if (failed(kLink, oldpath, newpath))
        return -1;
    return real<int (*)(int, const char*, int, const char*, int)>("linkat")(
        olddirfd, oldpath, newdirfd, newpath, flags);
}

int unlink(const char* path) {
    if (failed(kUnlink, path))
        return -1;
    return real<int (*)(const char*)>("unlink")(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    if (failed(kUnlink, path))
        return -1;
    return real<int (*)(int, const char*, int)>("unlinkat")(dirfd, path, flags);
}

int stat(const char* path, struct stat* st) {
    if (failed(kStat, path))
        return -1;
    return real<int (*)(const char*, struct stat*)>("stat")(path, st);
}

int stat64(const char* path, struct stat64* st) {
    if (failed(kStat, path))
        return -1;
    return real<int (*)(const char*, struct stat64*)>("stat64")(path, st);
}

int lstat(const char* path, struct stat* st) {
    if (failed(kStat, path))
        return -1;
    char found[4096];
    return real<int (*)(const char*, struct stat*)>("lstat")(
        lookedUp(AT_FDCWD, path, found, sizeof found), st);
}

int lstat64(const char* path, struct stat64* st) {
    if (failed(kStat, path))
        return -1;
    return real<int (*)(const char*, struct stat64*)>("lstat64")(path, st);
}

int fstatat(int dirfd, const char* path, struct stat* st, int flags) {
    if (failed(kStat, path))
        return -1;
    char found[4096];
    return real<int (*)(int, const char*, struct stat*, int)>("fstatat")(
        dirfd, lookedUp(dirfd, path, found, sizeof found), st, flags);
}

int fstatat64(int dirfd, const char* path, struct stat64* st, int flags) {
    if (failed(kStat, path))
        return -1;
    char found[4096];
    return real<int (*)(int, const char*, struct stat64*, int)>("fstatat64")(
        dirfd, lookedUp(dirfd, path, found, sizeof found), st, flags);
}

int fstat(int fd, struct stat* st) {
    if (failed(kStat, trackedPath(fd)))
        return -1;
    return real<int (*)(int, struct stat*)>("fstat")(fd, st);
}

int fstat64(int fd, struct stat64* st) {
    if (failed(kStat, trackedPath(fd)))
        return -1;
    return real<int (*)(int, struct stat64*)>("fstat64")(fd, st);
}

int access(const char* path, int mode) {
    if (failed(kAccess, path))
        return -1;
    return real<int (*)(const char*, int)>("access")(path, mode);
}

int faccessat(int dirfd, const char* path, int mode, int flags) {
    if (failed(kAccess, path))
        return -1;
    return real<int (*)(int, const char*, int, int)>("faccessat")(dirfd, path, mode, flags);
}

int mkdir(const char* path, mode_t mode) {
    if (failed(kMkdir, path))
        return -1;
    return real<int (*)(const char*, mode_t)>("mkdir")(path, mode);
}

int mkdirat(int dirfd, const char* path, mode_t mode) {
    if (failed(kMkdir, path))
        return -1;
    char taken[4096];
    if (caseVariant(dirfd, path, taken, sizeof taken)) {
        errno = EEXIST;
        return -1;
    }
    return real<int (*)(int, const char*, mode_t)>("mkdirat")(dirfd, path, mode);
}

DIR* opendir(const char* path) {
    if (failed(kOpendir, path))
        return nullptr;
    return real<DIR* (*)(const char*)>("opendir")(path);
}

DIR* fdopendir(int fd) {
    if (failed(kOpendir, trackedPath(fd)))
        return nullptr;
    return real<DIR* (*)(int)>("fdopendir")(fd);
}

dirent* readdir(DIR* dir) {
    return readEntry(real<dirent* (*)(DIR*)>("readdir")(dir));
}

dirent64* readdir64(DIR* dir) {
    return readEntry(real<dirent64* (*)(DIR*)>("readdir64")(dir));
}

ssize_t readlink(const char* path, char* buffer, size_t size) {
    if (failed(kReadlink, path))
        return -1;
    return real<ssize_t (*)(const char*, char*, size_t)>("readlink")(path, buffer, size);
}

ssize_t readlinkat(int dirfd, const char* path, char* buffer, size_t size) {
    if (failed(kReadlink, path))
        return -1;
    return real<ssize_t (*)(int, const char*, char*, size_t)>("readlinkat")(dirfd, path, buffer,
                                                                            size);
}

int chmod(const char* path, mode_t mode) {
    if (failed(kChmod, path))
        return -1;
    return real<int (*)(const char*, mode_t)>("chmod")(path, mode);
}

int fchmod(int fd, mode_t mode) {
    if (failed(kChmod, trackedPath(fd)))
        return -1;
    return real<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

int fchmodat(int dirfd, const char* path, mode_t mode, int flags) {
    if (failed(kChmod, path))
        return -1;
    return real<int (*)(int, const char*, mode_t, int)>("fchmodat")(dirfd, path, mode, flags);
}

ssize_t read(int fd, void* buffer, size_t count) {
    if (failed(kRead, trackedPath(fd)))
        return -1;
    return real<ssize_t (*)(int, void*, size_t)>("read")(fd, buffer, count);
}

ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    if (failed(kRead, trackedPath(fd)))
        return -1;
    return real<ssize_t (*)(int, void*, size_t, off_t)>("pread")(fd, buffer, count, offset);
}

ssize_t pread64(int fd, void* buffer, size_t count, off64_t offset) {
    if (failed(kRead, trackedPath(fd)))
        return -1;
    return real<ssize_t (*)(int, void*, size_t, off64_t)>("pread64")(fd, buffer, count, offset);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    if (failed(kWrite, trackedPath(fd)))
        return -1;
    return real<ssize_t (*)(int, const void*, size_t)>("write")(fd, buffer, count);
}

int fsync(int fd) {
    if (failed(kFsync, trackedPath(fd)))
        return -1;
    return real<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd) {
    if (failed(kFsync, trackedPath(fd)))
        return -1;
    return real<int (*)(int)>("fdatasync")(fd);
}

int close(int fd) {
    const int error = fault(kClose, trackedPath(fd));
    track(fd, nullptr);
    const int result = real<int (*)(int)>("close")(fd);
    if (error > 0) {
        errno = error;
        return -1;
    }
    return result;
}

char* getcwd(char* buffer, size_t size) {
    if (failed(kGetcwd, nullptr))
        return nullptr;
    return real<char* (*)(char*, size_t)>("getcwd")(buffer, size);
}

// Replaces the rules, for a test that has the library preloaded into itself: it finds this
// function with dlsym(). Not for use while other threads make calls.
void zr_fault_shim_set(const char* rules) {
    parseRules();
    g_ruleCount = 0;
    static char copy[4096];
    std::snprintf(copy, sizeof copy, "%s", rules ? rules : "");
    char* save = nullptr;
    for (char* rule = strtok_r(copy, ",", &save); rule; rule = strtok_r(nullptr, ",", &save)) {
        g_rules[g_ruleCount] = Rule{};
        parseRule(rule);
    }
}

}  // extern "C"
