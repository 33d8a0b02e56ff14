#include "text/TextFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Text {

namespace {

void noteError(FileText& file, int error) {
    file.errorNumber = error;
    file.error = std::strerror(error);
}

}  // namespace

FileText readFile(const std::string& path, bool followLink) {
    FileText file;
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(path.c_str(), flags);
    if (fd == -1) {
        noteError(file, errno);
        return file;
    }
    file.opened = true;
    char buffer[4096];
    while (file.text.size() < kFileLimit) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == -1 && errno == EINTR) {
            continue;
        }
        if (count == -1) {
            noteError(file, errno);
        }
        if (count <= 0) {
            break;
        }
        file.text.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fd);
    if (file.text.size() > kFileLimit) {
        file.text.resize(kFileLimit);
    }
    return file;
}

}  // namespace Text
