#include "cardtool/check/PortHolders.h"

#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "cardtool/check/SystemFiles.h"
#include "text/TextFile.h"
#include "text/TextScan.h"

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
    enum { kIndex, kType, kMode, kAccess, kPid, kNode, kFields };
    std::vector<long> pids;
    Text::Lines lines(locks);
    for (std::string line; lines.next(line);) {
        Text::Tokens words(line);
        std::string field[kFields];
        bool whole = true;
        for (std::string& word : field) {
            whole = whole && words.next(word);
        }
        char* end = nullptr;
        const long pid = std::strtol(field[kPid].c_str(), &end, 10);
        if (whole && field[kType] == "FLOCK" && field[kNode] == node && *end == '\0' &&
            end != field[kPid].c_str()) {
            pids.push_back(pid);
        }
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
