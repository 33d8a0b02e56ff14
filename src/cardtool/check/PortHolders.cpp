#include "cardtool/check/PortHolders.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cardtool/check/SystemFiles.h"
#include "text/TextFile.h"

namespace CardTool {

namespace {

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

std::string nodeOf(const struct stat& port) {
    char node[64];
    std::snprintf(node, sizeof node, "%02x:%02x:%lu", major(port.st_dev), minor(port.st_dev),
                  static_cast<unsigned long>(port.st_ino));
    return node;
}

}  // namespace

// "1: FLOCK  ADVISORY  WRITE 1234 00:19:3 0 EOF"; a waiter's line has "->"
// after the index and so never reads as FLOCK.
std::vector<long> flockHoldersIn(const std::string& locks, const std::string& node) {
    std::vector<long> pids;
    for (std::size_t start = 0; start < locks.size();) {
        const std::size_t end = std::min(locks.find('\n', start), locks.size());
        char type[16];
        char lockedNode[64];
        long pid = 0;
        if (std::sscanf(locks.substr(start, end - start).c_str(), "%*s %15s %*s %*s %ld %63s", type,
                        &pid, lockedNode) == 3 &&
            std::string(type) == "FLOCK" && lockedNode == node) {
            pids.push_back(pid);
        }
        start = end + 1;
    }
    return pids;
}

std::vector<PortHolder> findPortHolders(const struct stat& port) {
    const long self = ::getpid();
    std::vector<PortHolder> holders;
    for (const long pid : processIds()) {
        if (pid != self && hasPortOpen(pid, port)) {
            holders.push_back({pid, commandOf(pid), "has the port open"});
        }
    }
    for (const long pid : flockHoldersIn(Text::readFile("/proc/locks").text, nodeOf(port))) {
        if (pid != self) {
            holders.push_back({pid, commandOf(pid), "holds its lock"});
        }
    }
    std::stable_sort(holders.begin(), holders.end(),
                     [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return holders;
}

}  // namespace CardTool
