#include "metrics/MetricsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "card/Diagnostics.h"
#include "metrics/PlainFile.h"

namespace {

bool isPlainRegularFile(int fd) {
    struct stat status;
    if (::fstat(fd, &status) == -1) {
        return false;
    }
    const int refusal = PlainFile::refusalOf(status);
    if (refusal != 0) {
        errno = refusal;
        return false;
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
                PlainFile::kMode);
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
    if (!PlainFile::writeAll(fd, line, static_cast<std::size_t>(length))) {
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
