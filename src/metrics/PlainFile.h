// The one rule for a file written in a directory others may write to (the
// probe's metrics file in /tmp, quorvexcard's --output): only a plain regular
// file with no other name is written or replaced. A symbolic link, a hard
// link, a directory, a device or a FIFO planted at the path is refused, so
// that nothing is written through it.
#pragma once

#include <sys/stat.h>

namespace PlainFile {

// Readable by the monitoring system's user, writable by the writer only.
constexpr mode_t kMode = 0644;

// 0 when `status` (from lstat or fstat) is of a plain regular file, else the
// errno saying why not: ELOOP for a symbolic link, EISDIR for a directory,
// EPERM for anything else (also a regular file with another name).
int refusalOf(const struct stat& status);

}  // namespace PlainFile
