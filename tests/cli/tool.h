#pragma once

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillonde::testing {

/// What a finished run left: its exit status (or the signal that ended it), its peak memory and
/// its outputs (standard output only where the tool wrote it to a file of its own).
struct Outcome {
    int status = -1;
    int signal = 0;
    long peak_kib = 0;
    std::string out;
    std::string err;
};

/// quillonde-cli (or `program`) started in `folder` with every signal at its default, as a shell
/// starts it; standard output goes to `out` (a file of its own when -1), standard error to a file of
/// its own.
class Tool {
public:
    explicit Tool(std::vector<std::string> arguments, const std::filesystem::path& folder = ".", int out = -1,
                  rlim_t file_size_limit = RLIM_INFINITY, std::string program = QUILLONDE_CLI)
    {
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const std::string out_path = logs_.file("out");
        const std::string err_path = logs_.file("err");
        const std::string folder_path = std::filesystem::absolute(folder).string();
        pid_ = fork();
        if (pid_ == 0) {
            const int in = open("/dev/null", O_RDONLY);
            const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0) {
                out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            }
            if (in < 0 || err < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0 ||
                dup2(err, STDERR_FILENO) < 0 || chdir(folder_path.c_str()) != 0) {
                _exit(127);
            }
            const rlimit limit = {file_size_limit, RLIM_INFINITY};
            setrlimit(RLIMIT_FSIZE, &limit);
            for (int signal = 1; signal < NSIG; ++signal) {
                std::signal(signal, SIG_DFL);
            }
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
    }
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;
    ~Tool()
    {
        if (pid_ > 0) { // a test that failed half way: no tool must outlive it
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }

    /// Waits at most `longest` for the tool to end; a tool still running then is killed.
    Outcome wait(std::chrono::milliseconds longest = std::chrono::seconds(20))
    {
        Outcome outcome;
        int status = 0;
        rusage usage = {};
        const auto deadline = std::chrono::steady_clock::now() + longest;
        while (wait4(pid_, &status, WNOHANG, &usage) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "quillonde-cli did not end in time";
                kill(pid_, SIGKILL);
                wait4(pid_, &status, 0, &usage);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        pid_ = -1;
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        outcome.peak_kib = usage.ru_maxrss;
        outcome.out = read_file(logs_.file("out"));
        outcome.err = read_file(logs_.file("err"));
        return outcome;
    }

private:
    TempDir logs_;
    pid_t pid_ = -1;
};

/// Runs quillonde-cli to its end.
inline Outcome run(const std::vector<std::string>& arguments, const std::filesystem::path& folder = ".")
{
    return Tool(arguments, folder).wait();
}

} // namespace quillonde::testing
