#include "sim/ScriptedState.h"

#include <initializer_list>
#include <utility>

#include "cns/CnsObjects.h"

void answerScriptedState(SimulatedModem& modem, std::chrono::milliseconds late) {
    using namespace CnsObjects;
    const auto answer = [&modem, late](unsigned short object, const Bytes& parameter) {
        modem.answer(object, SimulatedModem::reply(object, parameter).after(late));
    };
    // Parameter length 8 carries the type (0x3C) in parameter bytes 2-3.
    answer(OBJ_MODEM_TYPE, {0, 0, 0, 0x3C, 0, 0, 0, 0});
    answer(OBJ_RSSI_ECIO_CDMA_HDR, {0, 90, 0, 8, 0, 80, 0, 4});
    for (const auto& [object, value] :
         std::initializer_list<std::pair<unsigned short, unsigned short>>{
             {OBJ_MODEM_ACTIVATED, 1},
             {OBJ_SERVICE_INDICATION, 2},
             {OBJ_BAND_CLASS, 1},
             {OBJ_ROAMING_STATUS, 0},
             {OBJ_HDR_SERVICE_STATE, 3},
             {OBJ_HDR_ROAM_STATUS, 0xFFFF},
             {OBJ_HDR_MISC_NOTIFICATION_STATUS, 7},
             {OBJ_HDR_HYBRID_PREFERENCE, 1}}) {
        answer(object, value16(value));
    }
}
