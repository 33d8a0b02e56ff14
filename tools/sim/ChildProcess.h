// A program run as a child process, its standard output and error on given
// descriptors or on pipes read through `out` and `err`; stopped (SIGTERM,
// then SIGKILL) and waited for on every road out.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class ChildProcess {
public:
    // `command` starts with the program's path; -1 for `output` or `error`
    // gives a pipe.
    explicit ChildProcess(const std::vector<std::string>& command, int output = -1, int error = -1);
    // Its output and error both appended to the file at `log`; each of
    // `handed` gives it the first descriptor as the second.
    ChildProcess(const std::vector<std::string>& command, const std::string& log,
                 const std::vector<std::pair<int, int>>& handed = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running();
    void closeOut();
    // The exit status, or -1 when it did not start or exit normally within
    // `limit` (it is killed then).
    int exitStatus(std::chrono::milliseconds limit);
    void stop();

    pid_t pid = -1;
    int out = -1;
    int err = -1;

private:
    void start(const std::vector<std::string>& command, int output, int error,
               const std::vector<std::pair<int, int>>& handed = {});
};

// Reads `fd` until it holds `lineCount` lines, its end, or 10 s.
std::string readLines(int fd, std::size_t lineCount = SIZE_MAX);
