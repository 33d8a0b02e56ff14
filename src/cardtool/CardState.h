// The card's state as quorvexcard shows it: one reading per value, each as
// the card's query returned it, or why that query failed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "card/WirelessCard.h"
#include "cardtool/QueryOutcome.h"

namespace CardTool {

// A value in both of its printed forms.
struct Value {
    std::string text;  // "-90", "yes", "MC5727V"
    std::string json;  // "-90", "true", "\"MC5727V\""
};

struct Reading {
    const char* key;    // stable JSON key
    const char* label;  // for the labelled lines
    std::optional<Value> value;
    std::string failure;  // why the query failed; empty when it was answered
};

using CardState = std::vector<Reading>;

// A reading's key and label.
struct Field {
    const char* key;
    const char* label;
};

// The four values of the RSSI and Ec/Io query, in the card's order.
constexpr std::size_t kSignalValues = 4;
constexpr Field kSignalReadings[kSignalValues] = {{"cdma_rssi", "CDMA RSSI"},
                                                  {"cdma_ecio", "CDMA Ec/Io"},
                                                  {"hdr_rssi", "HDR RSSI"},
                                                  {"hdr_ecio", "HDR Ec/Io"}};

// Every query in turn; a failed one leaves its readings without a value and
// the others go on.
CardState collectCardState(WirelessCard& card);

// Sends the hybrid preference: why that failed, or "" when the modem answered.
std::string sendHybridPreference(WirelessCard& card, bool on);

struct HybridMode {
    CardState state;         // the one reading
    std::optional<bool> on;  // none when the query failed
};

HybridMode readHybridMode(WirelessCard& card);

bool everyQueryAnswered(const CardState& state);

}  // namespace CardTool
