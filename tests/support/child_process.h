// Programs started by tests. Each runs in a process group of its own, with standard input empty
// and both outputs captured in files; one that outlives its time limit is killed with its whole
// group, so a hang can never stall the suite.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace zr::test {

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
    // Removes the working directory after entering it, so the program starts in a directory
    // that no longer exists.
    bool removeCwd = false;
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
// hard-linked or copied there, and the program itself as `root`/<its file name>, so that the
// program can run with `root` as its root directory. Returns the program's path inside `root`.
std::string prepareRoot(const std::string& program, const std::string& root);

}  // namespace zr::test
