#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
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

// In the child, between fork and exec: only async-signal-safe calls, and _exit on failure.
[[noreturn]] void startChild(const std::string& program, std::vector<char*>& argv,
                             const ProcessOptions& options, int outFd, int errFd) {
    setpgid(0, 0);
    for (const std::string& entry : options.env)
        putenv(const_cast<char*>(entry.c_str()));
    const int in = open("/dev/null", O_RDONLY);
    const int out = options.stdoutPath.empty() ? outFd : open(options.stdoutPath.c_str(), O_WRONLY);
    if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
        dup2(errFd, STDERR_FILENO) < 0)
        _exit(127);
    if (!options.root.empty() && (chroot(options.root.c_str()) != 0 || chdir("/") != 0))
        _exit(126);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
        _exit(125);
    if (options.removeCwd && rmdir(options.cwd.c_str()) != 0)
        _exit(124);
    execv(program.c_str(), argv.data());
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
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0)
        startChild(program, argv, options, outFd, errFd);
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
    const std::string inside = "/" + fs::path(program).filename().string();
    fs::copy_file(program, root + inside, fs::copy_options::overwrite_existing);
    return inside;
}

}  // namespace zr::test
