#include "cardtool/StateFormat.h"

#include <algorithm>

#include "cardtool/JsonText.h"

namespace CardTool {

namespace {

// Wide enough for the longest label, "HDR notification status:".
constexpr std::size_t kLabelWidth = 25;

}  // namespace

std::string formatText(const CardState& state) {
    std::string text;
    for (const Reading& reading : state) {
        std::string label = std::string(reading.label) + ':';
        label.resize(std::max(label.size(), kLabelWidth), ' ');
        text += label + (reading.value ? reading.value->text : "failed: " + reading.failure);
        text += '\n';
    }
    return text;
}

std::string formatJson(const CardState& state) {
    std::string values;
    std::string errors;
    for (const Reading& reading : state) {
        const std::string key = jsonString(reading.key) + ": ";
        values += key + (reading.value ? reading.value->json : "null") + ", ";
        if (!reading.value) {
            errors += (errors.empty() ? "" : ", ") + key + jsonString(reading.failure);
        }
    }
    return "{" + values + "\"errors\": {" + errors + "}}\n";
}

}  // namespace CardTool
