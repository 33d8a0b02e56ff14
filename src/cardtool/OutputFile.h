// quorvexcard --output: the tool's output replaces a file in one step, for
// readers such as node_exporter's textfile collector that may read it at any
// moment.
#pragma once

#include <string>

namespace CardTool {

// Replaces the file at `path` with `text`: written to a new temporary file
// in the same directory, flushed to the disk and renamed over `path`, so
// that a reader sees the old file or the new one, never a part of one.
// Whatever PlainFile refuses at `path` (a symbolic link, a hard link, a
// directory...) is refused and left as it is. Returns "" or the system's
// reason; the temporary file is gone on every failure.
std::string replaceFile(const std::string& path, const std::string& text);

}  // namespace CardTool
