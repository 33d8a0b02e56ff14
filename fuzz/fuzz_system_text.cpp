// The check's readers of system text (crontab lines, /proc/locks,
// /etc/passwd) and the JSON strings that carry such text, on any bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cardtool/JsonText.h"
#include "cardtool/check/Crontab.h"
#include "cardtool/check/PortHolders.h"
#include "cardtool/check/SystemFiles.h"

namespace {

// A quoted string with no raw control character in it.
bool noRawControl(const std::string& json) {
    for (const char c : json) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return false;
        }
    }
    return json.size() >= 2 && json.front() == '"' && json.back() == '"';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const bool hasUserField : {false, true}) {
        if (const auto entry = CardTool::readCrontabLine(text, hasUserField)) {
            // A gap between two runs is never longer than a day.
            if (entry->longestGap &&
                (entry->longestGap->count() < 1 || entry->longestGap->count() > 24 * 60)) {
                std::abort();
            }
        }
    }
    CardTool::flockHoldersIn(text, "00:19:3");
    CardTool::userNameIn(text, 0);
    if (!noRawControl(CardTool::jsonString(text))) {
        std::abort();
    }
    return 0;
}
