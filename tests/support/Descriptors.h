// How many of this process's descriptors lead to a path: a port left open
// shows as one more, also once the path is gone (a pseudo-terminal hung up).
#pragma once

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
