// The verdicts of quorvexcard --check: one result per link of the probe's
// chain, each ok, warning, failed or skipped, with what it found and one
// hint for a warning or a failure; and the exit status they make.
#pragma once

#include <string>
#include <utility>
#include <vector>

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

// A link not checked, and why.
CheckResult skipped(const char* name, const std::string& why);

constexpr int kCheckOk = 0;
constexpr int kCheckWarning = 1;
constexpr int kCheckFailed = 4;

// Any failure outranks any warning.
int checkExitStatus(const CheckReport& report);

}  // namespace CardTool
