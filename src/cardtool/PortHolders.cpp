#include "cardtool/PortHolders.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "cardtool/SystemFiles.h"

namespace CardTool {

namespace {

std::string commandOf(long pid) {
    std::string command = readSystemFile("/proc/" + std::to_string(pid) + "/comm").text;
    if (!command.empty() && command.back() == '\n') {
        command.pop_back();
    }
    return command.empty() ? "?" : command;
}

// A process id from a /proc entry's name; 0 for the other entries.
long processId(const std::string& name) {
    char* end = nullptr;
    const long pid = std::strtol(name.c_str(), &end, 10);
    return *end == '\0' ? pid : 0;
}

bool hasPortOpen(long pid, const struct stat& port) {
    const std::string fdDirectory = "/proc/" + std::to_string(pid) + "/fd/";
    for (const std::string& fd : directoryNames(fdDirectory)) {
        struct stat target;
        if (::stat((fdDirectory + fd).c_str(), &target) == 0 && S_ISCHR(target.st_mode) &&
            target.st_rdev == port.st_rdev) {
            return true;
        }
    }
    return false;
}

// "1: FLOCK  ADVISORY  WRITE 1234 00:19:3 0 EOF"; a waiter's line has "->"
// after the index and holds nothing yet.
std::vector<long> lockHolders(const struct stat& port) {
    char node[64];
    std::snprintf(node, sizeof node, "%02x:%02x:%lu", major(port.st_dev), minor(port.st_dev),
                  static_cast<unsigned long>(port.st_ino));
    std::vector<long> pids;
    std::istringstream locks(readSystemFile("/proc/locks").text);
    for (std::string line; std::getline(locks, line);) {
        std::istringstream words(line);
        std::string index, type, mode, access, pid, lockedNode;
        if (words >> index >> type >> mode >> access >> pid >> lockedNode && type == "FLOCK" &&
            lockedNode == node) {
            pids.push_back(std::atol(pid.c_str()));
        }
    }
    return pids;
}

}  // namespace

std::vector<PortHolder> findPortHolders(const struct stat& port) {
    const long self = ::getpid();
    std::vector<PortHolder> holders;
    for (const std::string& name : directoryNames("/proc")) {
        const long pid = processId(name);
        if (pid > 0 && pid != self && hasPortOpen(pid, port)) {
            holders.push_back({pid, commandOf(pid), "has the port open"});
        }
    }
    for (const long pid : lockHolders(port)) {
        if (pid != self) {
            holders.push_back({pid, commandOf(pid), "holds its lock"});
        }
    }
    std::stable_sort(holders.begin(), holders.end(),
                     [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return holders;
}

}  // namespace CardTool
