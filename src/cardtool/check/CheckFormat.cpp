#include "cardtool/check/CheckFormat.h"

#include "cardtool/JsonText.h"

namespace CardTool {

namespace {

const char* nameOf(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return "ok";
        case Verdict::Warning:
            return "warning";
        case Verdict::Failed:
            return "failed";
        case Verdict::Skipped:
            return "skipped";
    }
    return "?";
}

}  // namespace

std::string formatCheckText(const CheckReport& report) {
    std::string text;
    for (const CheckResult& result : report) {
        text += result.name + ": " + nameOf(result.verdict) + '\n';
        for (const std::string& detail : result.details) {
            text += "    " + detail + '\n';
        }
        if (!result.hint.empty()) {
            text += "    hint: " + result.hint + '\n';
        }
    }
    return text;
}

std::string formatCheckJson(const CheckReport& report) {
    std::string checks;
    for (const CheckResult& result : report) {
        std::string details;
        for (const std::string& detail : result.details) {
            details += (details.empty() ? "" : ", ") + jsonString(detail);
        }
        checks += std::string(checks.empty() ? "" : ", ") +
                  "{\"name\": " + jsonString(result.name) + ", \"verdict\": \"" +
                  nameOf(result.verdict) + "\", \"details\": [" + details +
                  "], \"hint\": " + (result.hint.empty() ? "null" : jsonString(result.hint)) + "}";
    }
    return "{\"checks\": [" + checks + "]}\n";
}

}  // namespace CardTool
