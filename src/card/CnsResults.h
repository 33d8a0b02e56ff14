// Result records of the card's multi-value queries.
#pragma once

namespace CnsResults {

struct CndQueryResult_HDRMiscNoticationStatus {
    unsigned short value = 0;

    void setValue(unsigned short status) { value = status; }
};

// RSSI values are negated as the card reports them (a reported 90 is -90
// as a 16-bit two's-complement value); Ec/Io values are as reported.
struct CnsQueryResultRSSI_Eclo_CDMA_HDR {
    unsigned short cdmaRssi = 0;
    unsigned short cdmaEcio = 0;
    unsigned short hdrRssi = 0;
    unsigned short hdrEcio = 0;
};

}  // namespace CnsResults
