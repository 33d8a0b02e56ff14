#include "metrics/MetricsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "card/Diagnostics.h"
#include "metrics/PlainFile.h"
#include "text/TextOut.h"

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

// One line as the file holds it: "-75\n".
int formatLine(long value, char (&line)[24]) {
    return std::snprintf(line, sizeof line, "%ld\n", value);
}

}  // namespace

bool readMetricsLines(const std::string& text, long* values, std::size_t count) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos || end - start > 20) {
            return false;
        }
        const std::string line = text.substr(start, end + 1 - start);
        errno = 0;
        values[i] = std::strtol(line.c_str(), nullptr, 10);
        char written[24];
        formatLine(values[i], written);
        if (errno != 0 || line != written) {
            return false;
        }
        start = end + 1;
    }
    return start == text.size();
}

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
    const int length = formatLine(value, line);
    if (!Text::writeAll(fd, line, static_cast<std::size_t>(length))) {
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
