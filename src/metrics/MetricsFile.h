// The metrics file the monitoring system reads: two decimal lines.
//
// The file lives in /tmp, which every user can write, and the probe runs as
// root; so it is opened without following a symbolic link and only a plain
// regular file with no other name is truncated and written. Every failure is
// reported on standard error and returned as false.
#pragma once

#include <cstddef>
#include <string>

// Reads `count` values from `text` when it is exactly `count` lines as
// writeLine writes them (a decimal integer, no sign but '-', no leading
// zero, then a newline); false for anything else.
bool readMetricsLines(const std::string& text, long* values, std::size_t count);

class MetricsFile {
public:
    MetricsFile() = default;
    ~MetricsFile();
    MetricsFile(const MetricsFile&) = delete;
    MetricsFile& operator=(const MetricsFile&) = delete;

    // Creates the file, or empties the one already there.
    bool open(const char* path);
    // One decimal line, written and flushed at once.
    bool writeLine(long value);
    bool close();

private:
    bool fail(const char* what);

    int fd = -1;
    const char* path = "";
};
