// quorvexcard --check: walks the probe's chain in the probe's order and with
// its own rules, and gives each link a verdict:
//   driver list   the modem's lines and the port the probe's rule picks
//   port          exists, a terminal, opens as the card opens it; its serial
//                 settings read back; other programs using it (PortHolders)
//   modem         the probe's two queries, then modem type and model name
//   metrics file  its kind, links, owner, age and content
//   schedule      the crontabs that run the probe, and how often (Schedule)
// A link that cannot be checked because an earlier one failed is skipped.
// Nothing is written: neither the metrics file nor the modem's settings; the
// port's serial settings are put back before it is closed. CheckReport
// prints the result.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "card/WirelessCard.h"

namespace CardTool {

enum class Verdict { Ok, Warning, Failed, Skipped };

struct CheckResult {
    explicit CheckResult(std::string checkName) : name(std::move(checkName)) {}

    std::string name;
    Verdict verdict = Verdict::Ok;
    std::vector<std::string> details;
    std::string hint;  // what to do, for a warning or a failure

    // Each keeps the worse verdict and its hint.
    void warn(const std::string& what);
    void fail(const std::string& what);
};

using CheckReport = std::vector<CheckResult>;

constexpr int kCheckOk = 0;
constexpr int kCheckWarning = 1;
constexpr int kCheckFailed = 4;

// `device`: the port to check instead of the one the driver list names.
CheckReport runCheck(WirelessCard& card, const std::optional<std::string>& device);

int checkExitStatus(const CheckReport& report);

}  // namespace CardTool
