#include "cardtool/CardState.h"

#include <algorithm>

#include "card/CnsResults.h"
#include "cardtool/JsonText.h"

namespace CardTool {

namespace {

using Values = std::vector<Value>;

Value number(long value) {
    return {std::to_string(value), std::to_string(value)};
}

// The card hands out RSSI values as 16-bit two's complement.
Value signed16(unsigned short value) {
    return number(static_cast<short>(value));
}

Value flag(bool set, const char* yes, const char* no) {
    return {set ? yes : no, set ? "true" : "false"};
}

Value hybridMode(bool on) {
    return flag(on, "on", "off");
}

Value name(const std::string& text) {
    return {text, jsonString(text)};
}

constexpr Field kHybridMode = {"hybrid_mode", "Hybrid mode"};

// One query of the snapshot: its readings, and how it reads one value for
// each of them.
struct Query {
    const Field* fields;
    std::size_t count;
    Values (*read)(WirelessCard& card);
};

constexpr Field kModemType = {"modem_type", "Modem type"};
constexpr Field kModelName = {"model_name", "Model name"};
constexpr Field kActivated = {"activated", "Activated"};
constexpr Field kServiceIndication = {"service_indication", "Service indication"};
constexpr Field kBandClass = {"band_class", "Band class"};
constexpr Field kRoamingStatus = {"roaming_status", "Roaming status"};
constexpr Field kHdrServiceState = {"hdr_service_state", "HDR service state"};
constexpr Field kHdrRoamStatus = {"hdr_roam_status", "HDR roam status"};
constexpr Field kHdrNotificationStatus = {"hdr_notification_status", "HDR notification status"};

Values readSignal(WirelessCard& card) {
    CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR signal;
    card.getRssiEcloForCDMAndHDR(signal);
    return {signed16(signal.cdmaRssi), number(signal.cdmaEcio), signed16(signal.hdrRssi),
            number(signal.hdrEcio)};
}

Values readNotificationStatus(WirelessCard& card) {
    CnsResults::CndQueryResult_HDRMiscNoticationStatus status;
    card.getHDRMiscNotificationStatus(status);
    return {number(status.value)};
}

// In the order they are shown.
const Query kQueries[] = {
    {&kModemType, 1, [](WirelessCard& card) { return Values{number(card.getModemType())}; }},
    {&kModelName, 1, [](WirelessCard& card) { return Values{name(card.getModemTypeName())}; }},
    {&kActivated, 1,
     [](WirelessCard& card) { return Values{flag(card.isModemActivated(), "yes", "no")}; }},
    {&kServiceIndication, 1,
     [](WirelessCard& card) { return Values{number(card.getServiceIndication())}; }},
    {kSignalReadings, kSignalValues, readSignal},
    {&kBandClass, 1, [](WirelessCard& card) { return Values{number(card.getBandClass())}; }},
    {&kRoamingStatus, 1,
     [](WirelessCard& card) { return Values{number(card.getRoamingStatus())}; }},
    {&kHdrServiceState, 1,
     [](WirelessCard& card) { return Values{number(card.getHDRServiceState())}; }},
    {&kHdrRoamStatus, 1,
     [](WirelessCard& card) { return Values{number(card.getHDRRoamStatus())}; }},
    {&kHdrNotificationStatus, 1, readNotificationStatus},
    {&kHybridMode, 1, [](WirelessCard& card) { return Values{hybridMode(card.getHybridMode())}; }},
};

}  // namespace

CardState collectCardState(WirelessCard& card) {
    CardState state;
    for (const Query& query : kQueries) {
        const Outcome<Values> outcome = askCard(card, [&] { return query.read(card); });
        for (std::size_t i = 0; i < query.count; ++i) {
            state.push_back(
                {query.fields[i].key, query.fields[i].label, std::nullopt, outcome.failure});
            if (outcome.answered()) {
                state.back().value = outcome.value->at(i);
            }
        }
    }
    return state;
}

std::string sendHybridPreference(WirelessCard& card, bool on) {
    return askCard(card,
                   [&] {
                       card.setHDRHybridPreference(on);
                       return true;
                   })
        .failure;
}

HybridMode readHybridMode(WirelessCard& card) {
    const Outcome<bool> outcome = askCard(card, [&] { return card.getHybridMode(); });
    HybridMode mode{{{kHybridMode.key, kHybridMode.label, std::nullopt, outcome.failure}},
                    outcome.answer()};
    if (mode.on) {
        mode.state.front().value = hybridMode(*mode.on);
    }
    return mode;
}

bool everyQueryAnswered(const CardState& state) {
    return std::all_of(state.begin(), state.end(),
                       [](const Reading& reading) { return reading.value.has_value(); });
}

}  // namespace CardTool
