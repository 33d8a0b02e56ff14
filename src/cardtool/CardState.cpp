#include "cardtool/CardState.h"

#include <algorithm>
#include <initializer_list>

#include "card/CnsResults.h"

namespace CardTool {

namespace {

struct Field {
    const char* key;
    const char* label;
};

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
    // The names come from the card's fixed table: nothing to escape.
    return {text, '"' + text + '"'};
}

constexpr Field kHybridMode = {"hybrid_mode", "Hybrid mode"};

constexpr const char* kErrorReply = "the modem answered with an error";

// Runs one query; `query` returns one value for each field. An error reply
// carries no value worth showing: the query failed.
template <typename Query>
void readQuery(CardState& state, const WirelessCard& card, std::initializer_list<Field> fields,
               Query&& query) {
    Values values;
    std::string failure;
    try {
        values = query();
        if (card.lastReplyHeader().isError()) {
            failure = kErrorReply;
        }
    } catch (const CnsErrors::ReturnErrors& error) {
        failure = failureReason(error);
    }
    std::size_t i = 0;
    for (const Field& field : fields) {
        state.push_back({field.key, field.label, std::nullopt, failure});
        if (failure.empty()) {
            state.back().value = values.at(i++);
        }
    }
}

}  // namespace

std::string failureReason(CnsErrors::ReturnErrors error) {
    switch (error) {
        case CnsErrors::NO_DATA_RETURNED:
            return "no reply within 1 second";
        case CnsErrors::UNUSABLE_REPLY:
            return "unusable reply";
        case CnsErrors::CARD_NOT_OPEN:
            return "port not open";
        case CnsErrors::ERROR_OPENING_PORT:
            return "port could not be opened";
        case CnsErrors::PORT_BUSY:
            return "port busy";
    }
    return "error " + std::to_string(static_cast<int>(error));
}

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
              {{"cdma_rssi", "CDMA RSSI"},
               {"cdma_ecio", "CDMA Ec/Io"},
               {"hdr_rssi", "HDR RSSI"},
               {"hdr_ecio", "HDR Ec/Io"}},
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
    try {
        card.setHDRHybridPreference(on);
        if (card.lastReplyHeader().isError()) {
            return kErrorReply;
        }
    } catch (const CnsErrors::ReturnErrors& error) {
        return failureReason(error);
    }
    return {};
}

HybridMode readHybridMode(WirelessCard& card) {
    HybridMode mode;
    readQuery(mode.state, card, {kHybridMode}, [&] {
        mode.on = card.getHybridMode();
        return Values{hybridMode(*mode.on)};
    });
    if (!mode.state.front().value) {
        mode.on.reset();  // an error reply's value is no mode
    }
    return mode;
}

bool everyQueryAnswered(const CardState& state) {
    return std::all_of(state.begin(), state.end(),
                       [](const Reading& reading) { return reading.value.has_value(); });
}

}  // namespace CardTool
