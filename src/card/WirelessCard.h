// The modem behind its serial port: the typed queries.
//
// Each query is one transaction of the link (CardLink: the port's open,
// settings, lock and transaction), then fixed-offset reads of the reply:
// the value at offset 15, the start of the reply's parameter, unless a
// query says otherwise.
#pragma once

#include "card/CardLink.h"
#include "card/CnsResults.h"

class WirelessCard : public CardLink {
public:
    WirelessCard() = default;

    short getRssi();
    unsigned short getRoamingStatus();

    // Further queries: each one transaction, then fixed-offset reads.
    bool isModemActivated();
    unsigned short getServiceIndication();
    bool getHybridMode();
    unsigned short getHDRServiceState();
    unsigned short getHDRRoamStatus();
    void getHDRMiscNotificationStatus(CnsResults::CndQueryResult_HDRMiscNoticationStatus& status);
    unsigned short getBandClass();
    // `first` for band class 0, `second` for band class 1.
    short getBandClass(bool& first, bool& second);
    // 0 or 1 for those band classes, -1 for any other.
    int getBandClassType();
    void getRssiEcloForCDMAndHDR(unsigned short& cdmaRssi, unsigned short& cdmaEcio,
                                 unsigned short& hdrRssi, unsigned short& hdrEcio);
    void getRssiEcloForCDMAndHDR(CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR& result);
    // 0xFFFF when the reply does not carry the modem type.
    unsigned short getModemType();
    const char* getModemTypeName();

    void setHDRHybridPreference(bool preference);

private:
    unsigned short query16(CnsObjects::CnsObjectTypes object);
};
