// SPDX-License-Identifier: GPL-3.0-or-later
// Regular files opened only to be read, and mapped without the risk of SIGBUS.
#include "platform/read_only_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/file_system.h"

namespace zr {

namespace {

// The mappings that a SIGBUS may hit. A page of a mapped file that no longer exists (the file
// was cut short after it was mapped, or its disk failed) raises SIGBUS when touched, which would
// end the process; the handler puts a page of zeros in its place instead, so that the reading
// goes on, and marks the mapping damaged. The table is read inside the handler: only lock-free
// atomics there.
struct GuardSlot {
    std::atomic<bool> used{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> damaged{false};
};

constexpr int kGuardSlots = 64;
GuardSlot g_slots[kGuardSlots];
struct sigaction g_previousAction;
std::uintptr_t g_pageSize = 4096;
std::once_flag g_guardInstalled;

void onBusError(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& slot : g_slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address >= slot.end.load(std::memory_order_acquire))
            continue;
        void* page = reinterpret_cast<void*>(address & ~(g_pageSize - 1));
        if (mmap(page, g_pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
            MAP_FAILED) {
            slot.damaged.store(true, std::memory_order_release);
            errno = savedErrno;
            return;  // the access is made again, and reads zeros
        }
    }
    errno = savedErrno;
    // Not a page of ours: whoever handled SIGBUS before handles it, or it ends the process.
    if (g_previousAction.sa_flags & SA_SIGINFO) {
        g_previousAction.sa_sigaction(signal, info, context);
    } else if (g_previousAction.sa_handler != SIG_DFL && g_previousAction.sa_handler != SIG_IGN) {
        g_previousAction.sa_handler(signal);
    } else {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigaction(SIGBUS, &fallback, nullptr);
        raise(SIGBUS);
    }
}

void installGuard() {
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize > 0)
        g_pageSize = static_cast<std::uintptr_t>(pageSize);
    struct sigaction action {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previousAction);
}

int claimSlot(const std::byte* data, std::size_t size) {
    for (int i = 0; i < kGuardSlots; ++i) {
        bool expected = false;
        if (!g_slots[i].used.compare_exchange_strong(expected, true))
            continue;
        const auto begin = reinterpret_cast<std::uintptr_t>(data);
        g_slots[i].damaged.store(false);
        g_slots[i].end.store(begin + size, std::memory_order_release);
        g_slots[i].begin.store(begin, std::memory_order_release);
        return i;
    }
    return -1;
}

FileStamp stampOfStat(const struct stat& st) {
    auto ns = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return FileStamp{FileId{static_cast<std::uint64_t>(st.st_dev), st.st_ino}, st.st_size,
                     ns(st.st_mtim), ns(st.st_ctim)};
}

// The entry `name` of the folder, without following a link: 0 for a regular file, ELOOP for a
// link, kErrorNotRegularFile for anything else, or the errno of the look.
int lookAtRegularFile(int folderFd, const std::string& name, struct stat& st) {
    if (fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (S_ISLNK(st.st_mode))
        return ELOOP;
    return S_ISREG(st.st_mode) ? 0 : kErrorNotRegularFile;
}

}  // namespace

FileMapping::FileMapping(const std::byte* data, std::size_t size, int slot)
    : m_data(data), m_size(size), m_slot(slot) {}

FileMapping::~FileMapping() {
    g_slots[m_slot].begin.store(0, std::memory_order_release);
    munmap(const_cast<std::byte*>(m_data), m_size);
    g_slots[m_slot].used.store(false, std::memory_order_release);
}

bool FileMapping::damaged() const {
    return g_slots[m_slot].damaged.load(std::memory_order_acquire);
}

ReadOnlyFile::~ReadOnlyFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : m_fd(other.m_fd), m_stamp(other.m_stamp), m_readError(other.m_readError) {
    other.m_fd = -1;
}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_stamp = other.m_stamp;
        m_readError = other.m_readError;
        other.m_fd = -1;
    }
    return *this;
}

int ReadOnlyFile::open(int folderFd, const std::string& name, ReadOnlyFile& file) {
    file = ReadOnlyFile{};
    // Looked at before it is opened: opening a device can do things (rewind a tape, raise a
    // modem's lines), and a link is never followed.
    struct stat before;
    if (const int error = lookAtRegularFile(folderFd, name, before))
        return error;
    // O_NONBLOCK: should the entry have become a pipe meanwhile, the open does not wait for a
    // writer.
    constexpr int flags = O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
    int fd = openat(folderFd, name.c_str(), flags | O_NOATIME);
    // O_NOATIME is allowed only on one's own files.
    if (fd < 0 && errno == EPERM)
        fd = openat(folderFd, name.c_str(), flags);
    if (fd < 0)
        return errno;
    struct stat st;
    int error = 0;
    if (fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode) || st.st_dev != before.st_dev || st.st_ino != before.st_ino)
        error = ESTALE;
    if (error != 0) {
        ::close(fd);
        return error;
    }
    file.m_fd = fd;
    file.m_stamp = stampOfStat(st);
    return 0;
}

int ReadOnlyFile::stampOf(int folderFd, const std::string& name, FileStamp& stamp) {
    struct stat st;
    if (const int error = lookAtRegularFile(folderFd, name, st))
        return error;
    stamp = stampOfStat(st);
    return 0;
}

int ReadOnlyFile::adopt(int fd, ReadOnlyFile& file) {
    file = ReadOnlyFile{};
    struct stat st;
    if (fstat(fd, &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return kErrorNotRegularFile;
    file.m_fd = fd;
    file.m_stamp = stampOfStat(st);
    return 0;
}

ssize_t ReadOnlyFile::readAt(std::int64_t offset, void* buffer, std::size_t count) const {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            pread(m_fd, static_cast<char*>(buffer) + done, count - done, offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (m_readError == 0)
                m_readError = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

std::unique_ptr<FileMapping> ReadOnlyFile::map() const {
    if (m_fd < 0 || m_stamp.size <= 0) {
        errno = m_fd < 0 ? EBADF : EINVAL;
        return nullptr;
    }
    std::call_once(g_guardInstalled, installGuard);
    const auto size = static_cast<std::size_t>(m_stamp.size);
    void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, m_fd, 0);
    if (data == MAP_FAILED)
        return nullptr;
    const int slot = claimSlot(static_cast<const std::byte*>(data), size);
    if (slot < 0) {
        munmap(data, size);
        errno = EBUSY;
        return nullptr;
    }
    return std::make_unique<FileMapping>(static_cast<const std::byte*>(data), size, slot);
}

}  // namespace zr
