#include "cardtool/SystemFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace CardTool {

namespace {

constexpr std::size_t kLimit = 65536;

}  // namespace

FileText readSystemFile(const std::string& path, bool followLink) {
    FileText file;
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(path.c_str(), flags);
    if (fd == -1) {
        file.errorNumber = errno;
        file.error = std::strerror(errno);
        return file;
    }
    char buffer[4096];
    while (file.text.size() < kLimit) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == -1 && errno == EINTR) {
            continue;
        }
        if (count == -1) {
            file.errorNumber = errno;
            file.error = std::strerror(errno);
        }
        if (count <= 0) {
            break;
        }
        file.text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    if (file.text.size() > kLimit) {
        file.text.resize(kLimit);
    }
    return file;
}

std::vector<std::string> directoryNames(const std::string& directory) {
    std::vector<std::string> names;
    DIR* const stream = ::opendir(directory.c_str());
    if (stream == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(stream);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace CardTool
