#include "cli_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/temp_dir.h"

namespace zr::test {

CliRun runCli(const std::string& cwd, const std::vector<std::string>& args,
              const std::string& stdoutPath) {
    const char* program = std::getenv("ZR_CLI");
    if (!program || !*program)
        throw std::runtime_error("ZR_CLI does not name the program");
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/zr-cli-";
    std::string outPath = base + "out-XXXXXX";
    std::string errPath = base + "err-XXXXXX";
    const int outFd = mkstemp(outPath.data());
    const int errFd = mkstemp(errPath.data());
    if (outFd < 0 || errFd < 0)
        throw std::runtime_error("cannot create the files for the outputs");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = stdoutPath.empty() ? outFd : open(stdoutPath.c_str(), O_WRONLY);
        if (in < 0 || chdir(cwd.c_str()) != 0 || dup2(in, STDIN_FILENO) < 0 || out < 0 ||
            dup2(out, STDOUT_FILENO) < 0 || dup2(errFd, STDERR_FILENO) < 0)
            _exit(127);
        execv(program, argv.data());
        _exit(127);
    }
    close(outFd);
    close(errFd);
    int status = 0;
    waitpid(child, &status, 0);
    CliRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return run;
}

}  // namespace zr::test
