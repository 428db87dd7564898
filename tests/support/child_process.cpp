// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "support/temp_dir.h"

namespace zr::test {

namespace {

std::string temporaryFile(const char* what, int& fd) {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/zr-child-" + what + "-XXXXXX";
    fd = mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("cannot create a file for the outputs of a child process");
    return path;
}

constexpr uid_t kUnprivilegedId = 65534;

bool dropPrivileges() {
    return setgroups(0, nullptr) == 0 && setgid(kUnprivilegedId) == 0 &&
           setuid(kUnprivilegedId) == 0;
}

// The program run through `unshare -m` and a shell that mounts the tmpfs, fills it, enters the
// working directory, runs the program (with the preload meant for it alone) and keeps a copy of
// what the tmpfs holds afterwards.
constexpr const char* kTmpfsScript = R"(at=$1 size=$2 seed=$3 keep=$4 cwd=$5
shift 5
mount -t tmpfs -o size="$size" zentarel-test "$at" || exit 121
if [ -n "$seed" ]; then cp -a "$seed"/. "$at"/ || exit 122; fi
cd "${cwd:-$at}" || exit 123
if [ -n "$ZR_WRAPPED_PRELOAD" ]; then LD_PRELOAD=$ZR_WRAPPED_PRELOAD "$@"; else "$@"; fi
status=$?
if [ -n "$keep" ]; then cp -a "$at"/. "$keep"/ || exit 122; fi
exit $status)";

// In the child, between fork and exec: only async-signal-safe calls, and _exit on failure.
[[noreturn]] void startChild(const std::vector<char*>& argv, const std::vector<char*>& env,
                             const ProcessOptions& options, const std::string& procInRoot,
                             int outFd, int errFd) {
    setpgid(0, 0);
    for (char* entry : env)
        putenv(entry);
    const int in = open("/dev/null", O_RDONLY);
    const int out = options.stdoutPath.empty() ? outFd : open(options.stdoutPath.c_str(), O_WRONLY);
    if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
        dup2(errFd, STDERR_FILENO) < 0)
        _exit(127);
    if (!procInRoot.empty() &&
        (unshare(CLONE_NEWNS) != 0 ||
         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
         mount("/proc", procInRoot.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0))
        _exit(126);
    if (!options.root.empty() && (chroot(options.root.c_str()) != 0 || chdir("/") != 0))
        _exit(126);
    if (options.unprivileged && !dropPrivileges())
        _exit(126);
    if (options.addressSpaceLimit != 0) {
        const rlimit limit{options.addressSpaceLimit, options.addressSpaceLimit};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(126);
    }
    // With a tmpfs the shell enters the working directory once it is mounted.
    if (options.tmpfsAt.empty() && !options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
        _exit(125);
    if (options.removeCwd && rmdir(options.cwd.c_str()) != 0)
        _exit(124);
    execvp(argv[0], argv.data());
    _exit(127);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           ProcessOptions options)
    : m_deadline(std::chrono::steady_clock::now() + options.timeout) {
    int outFd = -1;
    int errFd = -1;
    m_outPath = temporaryFile("out", outFd);
    m_errPath = temporaryFile("err", errFd);
    m_captureOut = options.stdoutPath.empty();
    // Everything the child needs is made before the fork.
    std::vector<std::string> words;
    std::vector<std::string> env = options.env;
    if (!options.tmpfsAt.empty()) {
        words = {"unshare",
                 "-m",
                 "--propagation",
                 "private",
                 "sh",
                 "-c",
                 kTmpfsScript,
                 "zr-tmpfs",
                 options.tmpfsAt,
                 std::to_string(options.tmpfsBytes),
                 options.tmpfsSeed,
                 options.tmpfsKeep,
                 options.cwd};
        for (std::string& entry : env) {
            if (entry.starts_with("LD_PRELOAD="))
                entry = "ZR_WRAPPED_PRELOAD=" + entry.substr(std::string("LD_PRELOAD=").size());
        }
    }
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    std::string procInRoot;
    if (!options.root.empty() && options.procInRoot) {
        procInRoot = options.root + "/proc";
        mkdir(procInRoot.c_str(), 0555);
    }
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0)
        startChild(argv, envp, options, procInRoot, outFd, errFd);
    // Both sides set the group, so a signal to it right after the fork reaches the child.
    setpgid(m_pid, m_pid);
    close(outFd);
    close(errFd);
}

ChildProcess::~ChildProcess() {
    if (!m_reaped) {
        kill(-m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
    }
    unlink(m_outPath.c_str());
    unlink(m_errPath.c_str());
}

void ChildProcess::reap(int status) {
    m_reaped = true;
    m_status = status;
    // Whatever the program left running in its group goes with it.
    kill(-m_pid, SIGKILL);
}

bool ChildProcess::finished() {
    if (m_reaped)
        return true;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid)
        reap(status);
    return m_reaped;
}

void ChildProcess::signal(int signal) {
    if (!m_reaped)
        kill(-m_pid, signal);
}

ProcessResult ChildProcess::wait() {
    ProcessResult result;
    while (!finished()) {
        if (std::chrono::steady_clock::now() >= m_deadline) {
            result.timedOut = true;
            kill(-m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
            reap(status);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.status = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : 128 + WTERMSIG(m_status);
    if (m_captureOut)
        result.out = readFile(m_outPath);
    result.err = readFile(m_errPath);
    return result;
}

std::string prepareRoot(const std::string& program, const std::string& root) {
    namespace fs = std::filesystem;
    const auto place = [&](const std::string& path) {
        // The library's own file under the name the loader looks for (which is often a link).
        const fs::path source = fs::canonical(path);
        const fs::path target = root + path;
        fs::create_directories(target.parent_path());
        std::error_code error;
        fs::create_hard_link(source, target, error);
        if (error)
            fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    };
    FILE* ldd = popen(("ldd '" + program + "'").c_str(), "r");
    if (!ldd)
        throw std::runtime_error("cannot run ldd");
    char line[4096];
    while (std::fgets(line, sizeof line, ldd)) {
        // "libx.so.1 => /usr/lib/x/libx.so.1 (0x...)" or "/lib64/ld-linux-x86-64.so.2 (0x...)"
        std::string text(line);
        std::size_t start = text.find("=> ");
        start = start == std::string::npos ? text.find('/') : start + 3;
        if (start == std::string::npos || text[start] != '/')
            continue;
        place(text.substr(start, text.find(' ', start) - start));
    }
    pclose(ldd);
    // An empty /proc, as a root folder has, for ProcessOptions::procInRoot.
    fs::create_directories(root + "/proc");
    const std::string inside = "/" + fs::path(program).filename().string();
    fs::copy_file(program, root + inside, fs::copy_options::overwrite_existing);
    return inside;
}

std::string runInChild(const std::function<std::string()>& work, const ChildOptions& options) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        setpgid(0, 0);
        close(pipeFds[0]);
        const auto answer = [&](const std::string& text) {
            for (std::size_t done = 0; done < text.size();) {
                const ssize_t n = write(pipeFds[1], text.data() + done, text.size() - done);
                if (n <= 0)
                    _exit(2);
                done += static_cast<std::size_t>(n);
            }
            _exit(0);
        };
        if (!options.tmpfsAt.empty()) {
            const std::string size = "size=" + std::to_string(options.tmpfsBytes);
            if (unshare(CLONE_NEWNS) != 0 ||
                mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("zentarel-test", options.tmpfsAt.c_str(), "tmpfs", 0, size.c_str()) != 0)
                _exit(3);
        }
        if (!options.root.empty() && (chroot(options.root.c_str()) != 0 || chdir("/") != 0))
            _exit(3);
        if (options.unprivileged && !dropPrivileges())
            _exit(3);
        try {
            answer(work());
        } catch (const std::exception& e) {
            answer(std::string("exception: ") + e.what());
        }
        _exit(2);
    }
    setpgid(pid, pid);
    close(pipeFds[1]);
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    kill(-pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (timedOut)
        throw std::runtime_error("the child outlived its time limit");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(
            "the child ended with status " + std::to_string(status) +
            (WIFEXITED(status) && WEXITSTATUS(status) == 3 ? " (it could not set itself up)" : ""));
    return text;
}

}  // namespace zr::test
