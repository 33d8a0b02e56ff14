// The 16-bit Cns object identifiers the card asks for or sets.
#pragma once

namespace CnsObjects {

enum CnsObjectTypes : unsigned short {
    OBJ_MODEM_TYPE = 0x000A,
    OBJ_RSSI = 0x1001,
    OBJ_SERVICE_INDICATION = 0x1006,
    OBJ_ROAMING_STATUS = 0x1007,
    OBJ_MODEM_ACTIVATED = 0x1009,
    OBJ_RSSI_ECIO_CDMA_HDR = 0x1065,
    OBJ_HDR_MISC_NOTIFICATION_STATUS = 0x1066,
    OBJ_HDR_ROAM_STATUS = 0x1068,
    OBJ_HDR_SERVICE_STATE = 0x1069,
    OBJ_HDR_HYBRID_PREFERENCE = 0x106A,
    OBJ_BAND_CLASS = 0x4008,
};

}  // namespace CnsObjects
