#include "cardtool/CheckReport.h"

#include <cstdio>

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

// Details carry outside text (driver list lines, crontab lines, commands).
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
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
