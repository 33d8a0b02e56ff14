#include "card/PortDiscovery.h"

#include "text/TextFile.h"
#include "text/TextScan.h"

namespace PortDiscovery {

namespace {

// num_ports, port, path, then the next line's index token.
constexpr int kTokensToNextIndex = 4;

}  // namespace

std::string findModemPortText(const std::string& driverList) {
    Text::Tokens tokens(driverList);
    std::string token;
    while (tokens.next(token)) {
        if (token.find(kProductMarker) == std::string::npos) {
            continue;
        }
        for (int i = 0; i < kTokensToNextIndex; ++i) {
            if (!tokens.next(token)) {
                return {};
            }
        }
        token.pop_back();  // the index token's colon
        return token;
    }
    return {};
}

std::vector<std::string> findModemLines(const std::string& driverList) {
    std::vector<std::string> lines;
    Text::Lines list(driverList);
    for (std::string line; list.next(line);) {
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
    const Text::FileText driverList = Text::readFile(kDriverListPath);
    if (!driverList.opened) {
        return {"", driverList.error};
    }
    return {findModemPortText(driverList.text), ""};
}

}  // namespace PortDiscovery
