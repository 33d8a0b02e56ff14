// The system's files as quorvexcard --check reads them (a whole text file
// through Text::readFile): the names in a directory, the processes in /proc;
// and the readers of their text (/etc/passwd), pure functions of it.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace CardTool {

// The names in `directory` without "." and "..", sorted; empty when it
// cannot be read.
std::vector<std::string> directoryNames(const std::string& directory);

// The ids of the processes in /proc, in its order.
std::vector<long> processIds();
// /proc/<pid>/comm without its newline; "?" when it cannot be read.
std::string commandOf(long pid);

// The user name of `uid` in the text of /etc/passwd ("name:password:uid:..."),
// or "uid <n>" when no line has it. (A static build has no name service.)
std::string userNameIn(const std::string& passwd, uid_t uid);

// "a regular file", "a directory", "a symbolic link", ...
const char* fileKind(mode_t mode);

}  // namespace CardTool
