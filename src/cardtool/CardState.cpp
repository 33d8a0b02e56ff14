#include "cardtool/CardState.h"

#include <algorithm>
#include <initializer_list>

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

// Runs one query; `query` returns one value for each field.
template <typename Query>
void readQuery(CardState& state, const WirelessCard& card, std::initializer_list<Field> fields,
               Query&& query) {
    const Outcome<Values> outcome = askCard(card, query);
    std::size_t i = 0;
    for (const Field& field : fields) {
        state.push_back({field.key, field.label, std::nullopt, outcome.failure});
        if (outcome.answered()) {
            state.back().value = outcome.value->at(i++);
        }
    }
}

}  // namespace

CardState collectCardState(WirelessCard& card) {
    CardState state;
    readQuery(state, card, {{"modem_type", "Modem type"}},
              [&] { return Values{number(card.getModemType())}; });
    readQuery(state, card, {{"model_name", "Model name"}},
              [&] { return Values{name(card.getModemTypeName())}; });
    readQuery(state, card, {{"activated", "Activated"}},
              [&] { return Values{flag(card.isModemActivated(), "yes", "no")}; });
    readQuery(state, card, {{"service_indication", "Service indication"}},
              [&] { return Values{number(card.getServiceIndication())}; });
    readQuery(state, card,
              {kSignalReadings[0], kSignalReadings[1], kSignalReadings[2], kSignalReadings[3]},
              [&] {
                  CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR signal;
                  card.getRssiEcloForCDMAndHDR(signal);
                  return Values{signed16(signal.cdmaRssi), number(signal.cdmaEcio),
                                signed16(signal.hdrRssi), number(signal.hdrEcio)};
              });
    readQuery(state, card, {{"band_class", "Band class"}},
              [&] { return Values{number(card.getBandClass())}; });
    readQuery(state, card, {{"roaming_status", "Roaming status"}},
              [&] { return Values{number(card.getRoamingStatus())}; });
    readQuery(state, card, {{"hdr_service_state", "HDR service state"}},
              [&] { return Values{number(card.getHDRServiceState())}; });
    readQuery(state, card, {{"hdr_roam_status", "HDR roam status"}},
              [&] { return Values{number(card.getHDRRoamStatus())}; });
    readQuery(state, card, {{"hdr_notification_status", "HDR notification status"}}, [&] {
        CnsResults::CndQueryResult_HDRMiscNoticationStatus status;
        card.getHDRMiscNotificationStatus(status);
        return Values{number(status.value)};
    });
    readQuery(state, card, {kHybridMode}, [&] { return Values{hybridMode(card.getHybridMode())}; });
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
