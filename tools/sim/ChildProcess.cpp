#include "sim/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The write end goes to the child as `target`, the read end is kept.
int pipeFor(int target, posix_spawn_file_actions_t& actions, int& writeEnd) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_adddup2(&actions, ends[1], target);
    writeEnd = ends[1];
    return ends[0];
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& command, int output, int error) {
    start(command, output, error);
}

ChildProcess::ChildProcess(const std::vector<std::string>& command, const std::string& log,
                           const std::vector<std::pair<int, int>>& handed) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    start(command, fd, fd, handed);
    if (fd != -1) {
        ::close(fd);
    }
}

void ChildProcess::start(const std::vector<std::string>& command, int output, int error,
                         const std::vector<std::pair<int, int>>& handed) {
    std::vector<char*> argv;
    for (const std::string& word : command) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int outWrite = -1, errWrite = -1;
    if (output == -1) {
        out = pipeFor(1, actions, outWrite);
    } else {
        posix_spawn_file_actions_adddup2(&actions, output, 1);
    }
    if (error == -1) {
        err = pipeFor(2, actions, errWrite);
    } else {
        posix_spawn_file_actions_adddup2(&actions, error, 2);
    }
    for (const auto& [from, to] : handed) {
        posix_spawn_file_actions_adddup2(&actions, from, to);
    }
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    for (const int end : {outWrite, errWrite}) {
        if (end != -1) {
            ::close(end);
        }
    }
}

ChildProcess::~ChildProcess() {
    stop();
    closeOut();
    if (err != -1) {
        ::close(err);
    }
}

bool ChildProcess::running() {
    if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == pid) {
        pid = -1;
    }
    return pid > 0;
}

void ChildProcess::closeOut() {
    if (out != -1) {
        ::close(out);
        out = -1;
    }
}

int ChildProcess::exitStatus(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            stop();
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    const bool exited = pid > 0 && WIFEXITED(status);
    pid = -1;
    return exited ? WEXITSTATUS(status) : -1;
}

void ChildProcess::stop() {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    const auto deadline = Clock::now() + 3s;
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    pid = -1;
}

std::string readLines(int fd, std::size_t lineCount) {
    std::string text;
    const auto limit = Clock::now() + 10s;
    while (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) < lineCount &&
           Clock::now() < limit) {
        pollfd watch{fd, POLLIN, 0};
        char buffer[4096];
        const ssize_t n = ::poll(&watch, 1, 100) > 0 ? ::read(fd, buffer, sizeof buffer) : -2;
        if (n == 0 || n == -1) {
            break;  // the end; a pseudo-terminal says EIO
        }
        text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    return text;
}
