// Small readers of the system's files for quorvexcard --check: a whole text
// file, the names in a directory. Failures come back as errno's text, for
// the report to name.
#pragma once

#include <string>
#include <vector>

namespace CardTool {

struct FileText {
    std::string text;
    std::string error;  // strerror's text; empty when the file was read
    int errorNumber = 0;
};

// At most 64 KiB; never blocks on a FIFO. With `followLink` false, a final
// symbolic link is not followed but fails.
FileText readSystemFile(const std::string& path, bool followLink = true);

// The names in `directory` without "." and "..", sorted; empty when it
// cannot be read.
std::vector<std::string> directoryNames(const std::string& directory);

}  // namespace CardTool
