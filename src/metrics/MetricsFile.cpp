#include "metrics/MetricsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "card/Diagnostics.h"

namespace {

constexpr mode_t kFileMode = 0644;

bool isPlainRegularFile(int fd) {
    struct stat status;
    if (::fstat(fd, &status) == -1) {
        return false;
    }
    // Another name for the same file could be something that matters
    // elsewhere, linked into /tmp by anyone.
    if (!S_ISREG(status.st_mode) || status.st_nlink != 1) {
        errno = EPERM;
        return false;
    }
    return true;
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

}  // namespace

MetricsFile::~MetricsFile() {
    if (fd != -1) {
        ::close(fd);
    }
}

bool MetricsFile::open(const char* metricsPath) {
    path = metricsPath;
    // O_NONBLOCK keeps a FIFO planted there from blocking the open; O_TRUNC
    // waits until the file is known to be a plain regular file.
    fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                kFileMode);
    if (fd == -1) {
        return fail("opening");
    }
    if (!isPlainRegularFile(fd) || ::ftruncate(fd, 0) == -1) {
        return fail("opening");
    }
    return true;
}

bool MetricsFile::writeLine(long value) {
    char line[24];
    const int length = std::snprintf(line, sizeof line, "%ld\n", value);
    if (!writeAll(fd, line, static_cast<std::size_t>(length))) {
        return fail("writing");
    }
    return true;
}

bool MetricsFile::close() {
    const int result = ::close(fd);
    fd = -1;
    if (result == -1) {
        return fail("writing");
    }
    return true;
}

bool MetricsFile::fail(const char* what) {
    Diagnostics::reportSystemError("Error " + std::string(what) + " metrics file " + path + ": ");
    if (fd != -1) {
        ::close(fd);
        fd = -1;
    }
    return false;
}
