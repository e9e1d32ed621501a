#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillonde::bench {

/// What one run of a program cost: its time and its own peak memory.
struct ChildRun {
    double seconds = 0.0;
    double peak_mib = 0.0;
};

/// Runs `arguments` (the program first, found on PATH where it names no folder) with its standard
/// output thrown away, and its standard error too unless `keep_errors`; measures that child alone.
/// A program that cannot start or fails ends the benchmark `bench` with a message.
inline ChildRun run_child(const std::vector<std::string>& arguments, const char* bench,
                          bool keep_errors = false)
{
    std::vector<std::string> texts = arguments;
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (!keep_errors) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "%s: cannot start %s\n", bench, argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage); // this child's own figures, not the largest of all children
    const ChildRun run{std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                       static_cast<double>(usage.ru_maxrss) / 1024.0};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: %s failed\n", bench, argv[0]);
        std::exit(1);
    }
    return run;
}

} // namespace quillonde::bench
