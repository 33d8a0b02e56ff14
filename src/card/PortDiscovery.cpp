#include "card/PortDiscovery.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace PortDiscovery {

namespace {

// num_ports, port, path, then the next line's index token.
constexpr int kTokensToNextIndex = 4;

}  // namespace

std::string findModemPortText(std::istream& driverList) {
    std::string token;
    while (driverList >> token) {
        if (token.find(kProductMarker) == std::string::npos) {
            continue;
        }
        for (int i = 0; i < kTokensToNextIndex; ++i) {
            if (!(driverList >> token)) {
                return {};
            }
        }
        token.pop_back();  // the index token's colon
        return token;
    }
    return {};
}

std::vector<std::string> findModemLines(std::istream& driverList) {
    std::vector<std::string> lines;
    for (std::string line; std::getline(driverList, line);) {
        if (line.find(kProductMarker) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string readModemPortText() {
    return readListedPort().portText;
}

ListedPort readListedPort() {
    errno = 0;
    std::ifstream driverList(kDriverListPath);
    if (!driverList.is_open()) {
        return {"", std::strerror(errno)};
    }
    return {findModemPortText(driverList), ""};
}

}  // namespace PortDiscovery
