#include "cardtool/check/SystemFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "text/TextFile.h"
#include "text/TextScan.h"

namespace CardTool {

std::vector<std::string> directoryNames(const std::string& directory) {
    std::vector<std::string> names;
    DIR* const stream = ::opendir(directory.c_str());
    if (stream == nullptr) {
        return names;
    }
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(stream);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<long> processIds() {
    std::vector<long> pids;
    for (const std::string& name : directoryNames("/proc")) {
        char* end = nullptr;
        const long pid = std::strtol(name.c_str(), &end, 10);
        if (*end == '\0' && pid > 0) {
            pids.push_back(pid);
        }
    }
    return pids;
}

std::string commandOf(long pid) {
    std::string command = Text::readFile("/proc/" + std::to_string(pid) + "/comm").text;
    if (!command.empty() && command.back() == '\n') {
        command.pop_back();
    }
    return command.empty() ? "?" : command;
}

std::string userNameIn(const std::string& passwd, uid_t uid) {
    Text::Lines users(passwd);
    const std::string id = ':' + std::to_string(uid) + ':';
    for (std::string line; users.next(line);) {
        const std::size_t nameEnd = line.find(':');
        const std::size_t uidStart =
            nameEnd == std::string::npos ? std::string::npos : line.find(':', nameEnd + 1);
        if (uidStart != std::string::npos && line.compare(uidStart, id.size(), id) == 0) {
            return line.substr(0, nameEnd);
        }
    }
    return "uid " + std::to_string(uid);
}

const char* fileKind(mode_t mode) {
    if (S_ISREG(mode)) {
        return "a regular file";
    }
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    return S_ISFIFO(mode) ? "a FIFO" : "a socket";
}

}  // namespace CardTool
