// Port discovery on any driver-list text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "card/PortDiscovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream list(text);
    const std::string port = PortDiscovery::findModemPortText(list);
    // A port text is part of one token that follows the first product marker.
    const bool sound =
        port.empty() || (port.find_first_of(" \t\n\v\f\r") == std::string::npos &&
                         text.find(port, text.find("product:0028")) != std::string::npos);
    if (!sound) {
        std::abort();
    }
    return 0;
}
