#include "card/WirelessCard.h"

#include <memory>

#include "card/CardReply.h"
#include "cns/CnsFrame.h"

namespace {

constexpr int kValueOffset = CnsFrame::kParameterOffset;
// The four values of the RSSI and Ec/Io reply.
constexpr int kCdmaRssiOffset = 15;
constexpr int kCdmaEcioOffset = 17;
constexpr int kHdrRssiOffset = 19;
constexpr int kHdrEcioOffset = 21;
// The modem type reply carries the type in parameter bytes 2 and 3, when
// the low byte of its parameter length is one of these.
constexpr unsigned char kModemTypeParameterLengths[] = {0x28, 0x08};
constexpr int kModemTypeOffset = 17;
constexpr unsigned short kUnknownModemType = 0xFFFF;

struct ModemName {
    unsigned short type;
    const char* name;
};
constexpr ModemName kModemNames[] = {
    {0x25, "MC5727"}, {0x3A, "MC5727V"}, {0x3B, "MC5728"}, {0x3C, "MC5728V"}};
constexpr const char* kUnknownModemName = "Unknown modem.";

// The card reports signal strengths as magnitudes; 90 becomes -90.
unsigned short negated16(unsigned short magnitude) {
    return static_cast<unsigned short>(0u - magnitude);
}

}  // namespace

unsigned short WirelessCard::query16(CnsObjects::CnsObjectTypes object) {
    sendToCard(object);
    return parameterValue16(kValueOffset);
}

short WirelessCard::getRssi() {
    return static_cast<short>(negated16(query16(CnsObjects::OBJ_RSSI)));
}

unsigned short WirelessCard::getRoamingStatus() {
    return query16(CnsObjects::OBJ_ROAMING_STATUS);
}

bool WirelessCard::isModemActivated() {
    CnsImp request;
    request.setCnsObjectForGet(CnsObjects::OBJ_MODEM_ACTIVATED);
    sendToCard(request);
    return parameterValue16(kValueOffset) == 1;
}

unsigned short WirelessCard::getServiceIndication() {
    return query16(CnsObjects::OBJ_SERVICE_INDICATION);
}

bool WirelessCard::getHybridMode() {
    return query16(CnsObjects::OBJ_HDR_HYBRID_PREFERENCE) == 1;
}

unsigned short WirelessCard::getHDRServiceState() {
    return query16(CnsObjects::OBJ_HDR_SERVICE_STATE);
}

unsigned short WirelessCard::getHDRRoamStatus() {
    return query16(CnsObjects::OBJ_HDR_ROAM_STATUS);
}

void WirelessCard::getHDRMiscNotificationStatus(
    CnsResults::CndQueryResult_HDRMiscNoticationStatus& status) {
    status.setValue(query16(CnsObjects::OBJ_HDR_MISC_NOTIFICATION_STATUS));
}

unsigned short WirelessCard::getBandClass() {
    return query16(CnsObjects::OBJ_BAND_CLASS);
}

short WirelessCard::getBandClass(bool& first, bool& second) {
    first = false;
    second = false;
    const auto bandClass = static_cast<short>(getBandClass());
    if (bandClass == 0) {
        first = true;
        return 0;
    }
    second = bandClass == 1;
    return bandClass;
}

int WirelessCard::getBandClassType() {
    const auto bandClass = static_cast<short>(getBandClass());
    return bandClass == 0 || bandClass == 1 ? bandClass : -1;
}

void WirelessCard::getRssiEcloForCDMAndHDR(unsigned short& cdmaRssi, unsigned short& cdmaEcio,
                                           unsigned short& hdrRssi, unsigned short& hdrEcio) {
    sendToCard(CnsObjects::OBJ_RSSI_ECIO_CDMA_HDR);
    // All four are read before any is handed out: a short reply changes none.
    const unsigned short values[] = {
        parameterValue16(kCdmaRssiOffset), parameterValue16(kCdmaEcioOffset),
        parameterValue16(kHdrRssiOffset), parameterValue16(kHdrEcioOffset)};
    cdmaRssi = negated16(values[0]);
    cdmaEcio = values[1];
    hdrRssi = negated16(values[2]);
    hdrEcio = values[3];
}

void WirelessCard::getRssiEcloForCDMAndHDR(CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR& result) {
    getRssiEcloForCDMAndHDR(result.cdmaRssi, result.cdmaEcio, result.hdrRssi, result.hdrEcio);
}

unsigned short WirelessCard::getModemType() {
    sendToCard(CnsObjects::OBJ_MODEM_TYPE);
    const unsigned char parameterLength =
        CardReply::byteAt(lastReply(), CnsFrame::kParameterLengthOffset, reporter());
    for (const unsigned char carriesType : kModemTypeParameterLengths) {
        if (parameterLength == carriesType) {
            return parameterValue16(kModemTypeOffset);
        }
    }
    return kUnknownModemType;
}

const char* WirelessCard::getModemTypeName() {
    const unsigned short type = getModemType();
    for (const auto& modem : kModemNames) {
        if (modem.type == type) {
            return modem.name;
        }
    }
    return kUnknownModemName;
}

void WirelessCard::setHDRHybridPreference(bool preference) {
    CnsImp request;
    request.setCnsObjectForSet(CnsObjects::OBJ_HDR_HYBRID_PREFERENCE);
    int size = 0;
    const std::unique_ptr<unsigned char[]> frame(
        request.getCnsDataForSet(preference ? 1 : 0, size));
    sendToCard(frame.get(), size);
}
