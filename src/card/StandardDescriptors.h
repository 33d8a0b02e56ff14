// Standard input, output and error held open before a program opens anything.
//
// Started with one of them closed (cron's ">&- 2>&-"), a program would get
// that number for the next file it opens: diagnostics would then land in the
// metrics file or the modem's port, and a port on descriptor 0 would skip its
// serial setup. Both mains call ensureOpen() first.
#pragma once

namespace StandardDescriptors {

// Opens /dev/null on each closed descriptor 0, 1 and 2; where /dev/null is
// missing (a bare chroot), the root directory, which takes no writes.
void ensureOpen();

}  // namespace StandardDescriptors
