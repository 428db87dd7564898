// SPDX-License-Identifier: GPL-3.0-or-later
// Programs started by tests. Each runs in a process group of its own, with standard input empty
// and both outputs captured in files; one that outlives its time limit is killed with its whole
// group, so a hang can never stall the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace zr::test {

// Whether the tests, and so the programs they run, are built with AddressSanitizer.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

struct ProcessResult {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct ProcessOptions {
    // The working directory; inside `root` when that is given.
    std::string cwd;
    // "NAME=value" entries added to the environment.
    std::vector<std::string> env;
    // Standard output goes to this file instead of being captured.
    std::string stdoutPath;
    // Runs the program with this folder as its root directory (needs root).
    std::string root;
    // Shows the system's /proc inside `root`, in a private mount namespace. A root folder of the
    // program's own has none, but a program built with AddressSanitizer cannot tell its stack
    // without it.
    bool procInRoot = kAddressSanitizer;
    // Removes the working directory after entering it, so the program starts in a directory
    // that no longer exists.
    bool removeCwd = false;
    // Runs the program as the unprivileged user and group 65534 (needs root); with `root`, after
    // the change of root, so that folders above it need not be open to that user.
    bool unprivileged = false;
    // Runs the program in a private mount namespace (unshare -m, needs root) with a file system
    // of `tmpfsBytes` bytes mounted on the folder `tmpfsAt` (tmpfs), first filled with a copy of
    // the folder `tmpfsSeed` when one is named. The working directory may lie inside it. When
    // the program has ended, what the file system holds is copied to the folder `tmpfsKeep`,
    // since it goes away with the namespace.
    std::string tmpfsAt;
    std::size_t tmpfsBytes = 0;
    std::string tmpfsSeed;
    std::string tmpfsKeep;
    // Limits the program's address space (RLIMIT_AS) to this many bytes; 0 leaves it alone.
    std::size_t addressSpaceLimit = 0;
    std::chrono::seconds timeout{120};
};

class ChildProcess {
public:
    // Starts `program` with `args`. Throws std::runtime_error when it cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 ProcessOptions options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the end, killing the group when the time limit is reached first.
    ProcessResult wait();
    // Whether it has ended, without waiting.
    bool finished();
    // Sends `signal` to the whole group.
    void signal(int signal);
    pid_t pid() const { return m_pid; }

private:
    void reap(int status);

    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_status = 0;
    std::chrono::steady_clock::time_point m_deadline;
    std::string m_outPath;
    std::string m_errPath;
    bool m_captureOut = true;
};

// A path in the folder `root` for each of the program's shared libraries (as ldd lists them),
// hard-linked or copied there, the program itself as `root`/<its file name> and an empty /proc, so
// that the program can run with `root` as its root directory. Returns the program's path inside
// `root`.
std::string prepareRoot(const std::string& program, const std::string& root);

// What runInChild() sets up around the work, as ProcessOptions does for a program.
struct ChildOptions {
    std::string root;
    bool unprivileged = false;
    std::string tmpfsAt;
    std::size_t tmpfsBytes = 0;
    std::chrono::seconds timeout{60};
};

// Runs `work` in a forked copy of the test process, in a process group of its own, after
// setting up what `options` asks for (a private mount namespace with a tmpfs, a change of root,
// the unprivileged user), and returns the text it returned. Throws std::runtime_error when the
// child could not be set up, or ended without an answer (a crash, the time limit).
std::string runInChild(const std::function<std::string()>& work, const ChildOptions& options);

}  // namespace zr::test
