#include "metrics/PlainFile.h"

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

}  // namespace PlainFile
