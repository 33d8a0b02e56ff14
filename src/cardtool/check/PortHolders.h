// Other programs using the modem's port, from /proc: those with the device
// open (a descriptor in /proc/<pid>/fd on the same device number) and those
// holding its flock (a FLOCK line of /proc/locks on the node's
// major:minor:inode, the lock the card takes around each transaction).
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace CardTool {

struct PortHolder {
    long pid;
    std::string command;  // /proc/<pid>/comm
    const char* how;      // "has the port open", "holds its lock"
};

// Every holder but this process, by process id; `port` is stat() of the port.
std::vector<PortHolder> findPortHolders(const struct stat& port);

// The processes holding a FLOCK in the text of /proc/locks on `node`
// ("08:01:1234", major:minor in hex and the inode); waiters hold nothing.
std::vector<long> flockHoldersIn(const std::string& locks, const std::string& node);

}  // namespace CardTool
