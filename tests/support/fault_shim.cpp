// A preload library that makes chosen system calls of a program fail, or pause, so that tests
// reach the error branches of the real POSIX layer and can change the disk at an exact moment.
// It is loaded with LD_PRELOAD=<this library> and reads its rules from ZR_FAULTS:
//
//   ZR_FAULTS=rule[,rule...]     rule = CALL[~TEXT][@N]=ACTION
//
// CALL is open (every open, open64, openat, openat64 and creat), rename (renameat2, renameat,
// rename), unlink (unlink, unlinkat), write, fsync (fsync, fdatasync) or close. ~TEXT limits the
// rule to calls whose path (either path of a rename; for write, fsync and close the path the
// descriptor was opened with) contains TEXT. @N fires on the N-th matching call only, counting
// from 1; without it every matching call fires. ACTION is an errno name (EACCES, ENOSPC, ...)
// or number, or "pause": the call then creates $ZR_FAULTS_DIR/paused and waits until
// $ZR_FAULTS_DIR/resume exists before it goes on (at most a minute), or "sleepMS": the call
// waits MS milliseconds and then goes on, as on a slow disk.
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum Call { kOpen, kRename, kUnlink, kWrite, kFsync, kClose, kCallCount };

const char* const kCallNames[kCallCount] = {"open", "rename", "unlink", "write", "fsync", "close"};

constexpr int kMaxRules = 16;
constexpr int kMaxTracked = 1024;
constexpr int kPause = -1;
// Actions below this are sleeps of (kSleep - action) milliseconds.
constexpr int kSleep = -2;

struct Rule {
    Call call;
    char text[256];
    long nth;  // 0: every matching call
    long seen;
    int action;  // an errno, or kPause
};

Rule g_rules[kMaxRules];
int g_ruleCount = 0;
bool g_parsed = false;
// The paths of descriptors opened while a rule names write, fsync or close with a text.
char* g_fdPaths[kMaxTracked];

struct ErrnoName {
    const char* name;
    int value;
};

const ErrnoName kErrnoNames[] = {
    {"EACCES", EACCES},         {"EPERM", EPERM},   {"ENOENT", ENOENT},
    {"EEXIST", EEXIST},         {"ENOSPC", ENOSPC}, {"EIO", EIO},
    {"EROFS", EROFS},           {"EINVAL", EINVAL}, {"ENOSYS", ENOSYS},
    {"EXDEV", EXDEV},           {"EMFILE", EMFILE}, {"ENOTDIR", ENOTDIR},
    {"EBUSY", EBUSY},           {"EDQUOT", EDQUOT}, {"ELOOP", ELOOP},
    {"EOPNOTSUPP", EOPNOTSUPP}, {"EMLINK", EMLINK}, {"ENAMETOOLONG", ENAMETOOLONG},
};

int parseAction(const char* text) {
    if (std::strcmp(text, "pause") == 0)
        return kPause;
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
    char* equals = std::strchr(text, '=');
    if (!equals) {
        std::fprintf(stderr, "fault shim: a rule without '=': '%s'\n", text);
        std::abort();
    }
    *equals = '\0';
    rule.action = parseAction(equals + 1);
    if (char* at = std::strrchr(text, '@')) {
        *at = '\0';
        rule.nth = std::atol(at + 1);
    }
    if (char* tilde = std::strchr(text, '~')) {
        *tilde = '\0';
        std::snprintf(rule.text, sizeof rule.text, "%s", tilde + 1);
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

bool needsTracking() {
    parseRules();
    for (int i = 0; i < g_ruleCount; ++i) {
        const Call c = g_rules[i].call;
        if ((c == kWrite || c == kFsync || c == kClose) && g_rules[i].text[0])
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
    struct stat st;
    for (int waited = 0; waited < 6000 && stat(path, &st) != 0; ++waited)
        usleep(10 * 1000);
}

// The errno the call is to fail with, or 0 after a pause or when no rule fires.
int fault(Call call, const char* path, const char* other = nullptr) {
    parseRules();
    for (int i = 0; i < g_ruleCount; ++i) {
        Rule& rule = g_rules[i];
        if (rule.call != call)
            continue;
        if (rule.text[0] && !(path && std::strstr(path, rule.text)) &&
            !(other && std::strstr(other, rule.text)))
            continue;
        // Calls come from several threads: each one counts once.
        const long seen = __atomic_add_fetch(&rule.seen, 1, __ATOMIC_SEQ_CST);
        if (rule.nth != 0 && seen != rule.nth)
            continue;
        if (rule.action <= kSleep)
            usleep(static_cast<useconds_t>(kSleep - rule.action) * 1000);
        else if (rule.action != kPause)
            return rule.action;
        else
            pause();
    }
    return 0;
}

mode_t modeOf(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

int openVia(const char* name, int dirfd, const char* path, int flags, mode_t mode) {
    if (const int error = fault(kOpen, path)) {
        errno = error;
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

int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
              unsigned int flags) {
    if (const int error = fault(kRename, oldpath, newpath)) {
        errno = error;
        return -1;
    }
    return real<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2")(
        olddirfd, oldpath, newdirfd, newpath, flags);
}

int renameat(int olddirfd, const char* oldpath, int newdirfd, const char* newpath) {
    if (const int error = fault(kRename, oldpath, newpath)) {
        errno = error;
        return -1;
    }
    return real<int (*)(int, const char*, int, const char*)>("renameat")(olddirfd, oldpath,
                                                                         newdirfd, newpath);
}

int rename(const char* oldpath, const char* newpath) {
    if (const int error = fault(kRename, oldpath, newpath)) {
        errno = error;
        return -1;
    }
    return real<int (*)(const char*, const char*)>("rename")(oldpath, newpath);
}

int unlink(const char* path) {
    if (const int error = fault(kUnlink, path)) {
        errno = error;
        return -1;
    }
    return real<int (*)(const char*)>("unlink")(path);
}

int unlinkat(int dirfd, const char* path, int flags) {
    if (const int error = fault(kUnlink, path)) {
        errno = error;
        return -1;
    }
    return real<int (*)(int, const char*, int)>("unlinkat")(dirfd, path, flags);
}

ssize_t write(int fd, const void* buffer, size_t count) {
    if (const int error = fault(kWrite, trackedPath(fd))) {
        errno = error;
        return -1;
    }
    return real<ssize_t (*)(int, const void*, size_t)>("write")(fd, buffer, count);
}

int fsync(int fd) {
    if (const int error = fault(kFsync, trackedPath(fd))) {
        errno = error;
        return -1;
    }
    return real<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd) {
    if (const int error = fault(kFsync, trackedPath(fd))) {
        errno = error;
        return -1;
    }
    return real<int (*)(int)>("fdatasync")(fd);
}

int close(int fd) {
    const int error = fault(kClose, trackedPath(fd));
    track(fd, nullptr);
    const int result = real<int (*)(int)>("close")(fd);
    if (error != 0) {
        errno = error;
        return -1;
    }
    return result;
}

}  // extern "C"
