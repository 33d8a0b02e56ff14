#include "metrics/PlainFile.h"

#include <unistd.h>

#include <cerrno>

namespace PlainFile {

int refusalOf(const struct stat& status) {
    if (S_ISLNK(status.st_mode)) {
        return ELOOP;
    }
    if (S_ISDIR(status.st_mode)) {
        return EISDIR;
    }
    // Another name for the same file could be something that matters
    // elsewhere, linked into /tmp by anyone.
    if (!S_ISREG(status.st_mode) || status.st_nlink != 1) {
        return EPERM;
    }
    return 0;
}

bool writeAll(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written == -1) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace PlainFile
