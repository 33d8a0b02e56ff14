// The driver list's reader on any bytes, against the stream library's
// reading of the same text: the port the probe picks and the modem's lines
// must be the same, word for word and line for line, so that the two readers
// can never part.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "card/PortDiscovery.h"
#include "support/Scanned.h"
#include "text/TextScan.h"

namespace {

// The port text as `istream >> token` finds it.
std::string streamPortText(const std::string& text) {
    std::istringstream list(text);
    std::string token;
    while (list >> token) {
        if (token.find(PortDiscovery::kProductMarker) == std::string::npos) {
            continue;
        }
        for (int i = 0; i < 4; ++i) {
            if (!(list >> token)) {
                return {};
            }
        }
        token.pop_back();
        return token;
    }
    return {};
}

std::vector<std::string> streamWords(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

std::vector<std::string> streamLines(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> streamModemLines(const std::string& text) {
    std::vector<std::string> lines;
    for (const std::string& line : streamLines(text)) {
        if (line.find(PortDiscovery::kProductMarker) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (PortDiscovery::findModemPortText(text) != streamPortText(text) ||
        PortDiscovery::findModemLines(text) != streamModemLines(text) ||
        readAll(Text::Tokens(text)) != streamWords(text) ||
        readAll(Text::Lines(text)) != streamLines(text)) {
        std::abort();
    }
    return 0;
}
