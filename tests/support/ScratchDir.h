// A fresh directory under /tmp, removed with all it holds.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

struct ScratchDir {
    ScratchDir() {
        char pattern[] = "/tmp/quorvex-test.XXXXXX";
        EXPECT_NE(::mkdtemp(pattern), nullptr) << std::strerror(errno);
        path = pattern;
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string path;
};
