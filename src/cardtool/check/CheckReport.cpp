#include "cardtool/check/CheckReport.h"

#include <algorithm>

namespace CardTool {

void CheckResult::warn(const std::string& what) {
    if (verdict == Verdict::Ok) {
        verdict = Verdict::Warning;
        hint = what;
    }
}

void CheckResult::fail(const std::string& what) {
    if (verdict != Verdict::Failed) {
        verdict = Verdict::Failed;
        hint = what;
    }
}

CheckResult skipped(const char* name, const std::string& why) {
    CheckResult result(name);
    result.verdict = Verdict::Skipped;
    result.details.push_back(why);
    return result;
}

int checkExitStatus(const CheckReport& report) {
    const auto any = [&](Verdict verdict) {
        return std::any_of(report.begin(), report.end(),
                           [&](const CheckResult& result) { return result.verdict == verdict; });
    };
    return any(Verdict::Failed) ? kCheckFailed : any(Verdict::Warning) ? kCheckWarning : kCheckOk;
}

}  // namespace CardTool
