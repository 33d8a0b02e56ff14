// A port as the tests look at it from outside the program under test: how
// many of this process's descriptors lead to it (a port left open shows as
// one more, also once the path is gone: a pseudo-terminal hung up), and
// its settings as another program opening it finds them.
#pragma once

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

inline int descriptorsOn(const std::string& path) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        const std::string target = std::filesystem::read_symlink(entry.path(), ignored);
        count += target == path || target == path + " (deleted)";
    }
    return count;
}

inline termios settingsOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    EXPECT_EQ(::tcgetattr(fd, &settings), 0) << path << ": " << std::strerror(errno);
    ::close(fd);
    return settings;
}
