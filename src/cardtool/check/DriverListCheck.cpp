#include <cerrno>

#include "card/PortDiscovery.h"
#include "cardtool/check/CheckLinks.h"
#include "text/TextFile.h"

namespace CardTool {

std::string checkDriverList(CheckResult& result) {
    const std::string listPath = PortDiscovery::kDriverListPath;
    const Text::FileText list = Text::readFile(listPath);
    if (!list.error.empty()) {
        result.details.push_back(listPath + " cannot be read: " + list.error);
        result.fail(list.errorNumber == EACCES
                        ? "only root may read it: run the check as root"
                        : "no USB-serial device is known to the kernel: check the modem's USB "
                          "connection and power, then the kernel log (dmesg)");
        return {};
    }
    const std::vector<std::string> modemLines = PortDiscovery::findModemLines(list.text);
    if (modemLines.empty()) {
        result.details.push_back(listPath + " has no line of product 0028");
        result.fail(
            "the modem is not on the USB bus or its driver is not bound: check its USB "
            "connection and power, then the kernel log (dmesg)");
        return {};
    }
    result.details.push_back(listPath + " has " + std::to_string(modemLines.size()) +
                             " line(s) of product 0028:");
    for (const std::string& line : modemLines) {
        result.details.push_back("  " + line);
    }
    const std::string index = PortDiscovery::findModemPortText(list.text);
    if (index.empty()) {
        result.details.push_back("the probe's rule finds no line after the modem's first line");
        result.fail("the modem's other interfaces are missing: unplug and replug the modem");
        return {};
    }
    const std::string port = PortDiscovery::kDevicePrefix + index;
    result.details.push_back("the probe's port is " + port + ", from line " + index +
                             ": the line after the modem's first line");
    return port;
}

}  // namespace CardTool
