// Small system files read whole: the driver list, /proc files, crontabs,
// /etc/passwd, the metrics file. Callers parse the text (TextScan).
#pragma once

#include <string>

namespace Text {

struct FileText {
    std::string text;
    bool opened = false;
    std::string error;  // strerror's text when the open or a read failed; "" otherwise
    int errorNumber = 0;
};

// At most kFileLimit bytes; never blocks on a FIFO. With `followLink` false,
// a final symbolic link is not followed but fails. A read that fails keeps
// what came before it.
constexpr std::size_t kFileLimit = 65536;
FileText readFile(const std::string& path, bool followLink = true);

}  // namespace Text
