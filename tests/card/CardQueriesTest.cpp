// The card's further queries and the hybrid-preference setting, against
// the simulated modem.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>

#include "support/Bytes.h"
#include "support/CardFixture.h"

namespace {

using namespace CnsObjects;
using CardQueriesTest = CardOnSimulatedModem;

// The flags are true only for 1.
TEST_F(CardQueriesTest, EachQueryAsksForItsObjectAndReadsOffsetFifteen) {
    const struct {
        const char* name;
        unsigned short object;
        std::function<long(WirelessCard&)> query;
        bool flag;
    } cases[] = {
        {"service indication", OBJ_SERVICE_INDICATION,
         [](WirelessCard& c) { return long{c.getServiceIndication()}; }, false},
        {"HDR service state", OBJ_HDR_SERVICE_STATE,
         [](WirelessCard& c) { return long{c.getHDRServiceState()}; }, false},
        {"HDR roam status", OBJ_HDR_ROAM_STATUS,
         [](WirelessCard& c) { return long{c.getHDRRoamStatus()}; }, false},
        {"band class", OBJ_BAND_CLASS, [](WirelessCard& c) { return long{c.getBandClass()}; },
         false},
        {"HDR notification status", OBJ_HDR_MISC_NOTIFICATION_STATUS,
         [](WirelessCard& c) {
             CnsResults::CndQueryResult_HDRMiscNoticationStatus status;
             c.getHDRMiscNotificationStatus(status);
             return long{status.value};
         },
         false},
        {"activated", OBJ_MODEM_ACTIVATED,
         [](WirelessCard& c) { return long{c.isModemActivated()}; }, true},
        {"hybrid mode", OBJ_HDR_HYBRID_PREFERENCE,
         [](WirelessCard& c) { return long{c.getHybridMode()}; }, true},
    };
    for (const auto& c : cases) {
        for (const unsigned short value : {0x0000, 0x0001, 0x0002, 0x0100, 0x0102, 0xFFFF}) {
            modem.answerValue(c.object, value);
            EXPECT_EQ(c.query(card), c.flag ? value == 1 : value) << c.name << " " << value;
        }
        EXPECT_TRUE(sameBytes(getRequestFor(c.object), modem.requests().back())) << c.name;
    }
}

TEST_F(CardQueriesTest, BandClassFlagsAndType) {
    const struct {
        unsigned short reported;
        bool first, second;
        short bandClass;
        int type;
    } cases[] = {{0, true, false, 0, 0},
                 {1, false, true, 1, 1},
                 {5, false, false, 5, -1},
                 {0xFFFF, false, false, -1, -1},
                 {0x0100, false, false, 0x0100, -1}};
    for (const auto& c : cases) {
        modem.answerValue(OBJ_BAND_CLASS, c.reported);
        bool first = !c.first;  // both must be written, whatever they held
        bool second = !c.second;
        EXPECT_EQ(card.getBandClass(first, second), c.bandClass) << c.reported;
        EXPECT_EQ(first, c.first) << c.reported;
        EXPECT_EQ(second, c.second) << c.reported;
        EXPECT_EQ(card.getBandClassType(), c.type) << c.reported;
    }
}

TEST_F(CardQueriesTest, RssiAndEcioOfBothNetworksFromOneReply) {
    modem.answer(
        OBJ_RSSI_ECIO_CDMA_HDR,
        SimulatedModem::reply(OBJ_RSSI_ECIO_CDMA_HDR, {0x00, 90, 0x00, 8, 0x00, 80, 0x00, 4}));
    unsigned short cdmaRssi = 0, cdmaEcio = 0, hdrRssi = 0, hdrEcio = 0;
    card.getRssiEcloForCDMAndHDR(cdmaRssi, cdmaEcio, hdrRssi, hdrEcio);
    EXPECT_EQ(static_cast<short>(cdmaRssi), -90);
    EXPECT_EQ(cdmaEcio, 8);
    EXPECT_EQ(static_cast<short>(hdrRssi), -80);
    EXPECT_EQ(hdrEcio, 4);

    modem.answer(OBJ_RSSI_ECIO_CDMA_HDR,
                 SimulatedModem::reply(OBJ_RSSI_ECIO_CDMA_HDR,
                                       {0x01, 0x02, 0x7D, 0x7E, 0xFF, 0xFF, 0x00, 0x00}));
    CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR result;
    card.getRssiEcloForCDMAndHDR(result);
    EXPECT_EQ(result.cdmaRssi, 0xFEFE);
    EXPECT_EQ(result.cdmaEcio, 0x7D7E);
    EXPECT_EQ(result.hdrRssi, 0x0001);
    EXPECT_EQ(result.hdrEcio, 0x0000);

    const auto requests = modem.requests();
    ASSERT_EQ(requests.size(), 2u) << "one transaction per call";
    EXPECT_TRUE(sameBytes(getRequestFor(OBJ_RSSI_ECIO_CDMA_HDR), requests[0]));
}

TEST_F(CardQueriesTest, ShortRssiAndEcioReplyHandsOutNothing) {
    modem.answer(OBJ_RSSI_ECIO_CDMA_HDR,
                 SimulatedModem::reply(OBJ_RSSI_ECIO_CDMA_HDR, {0x00, 90, 0x00, 8, 0x00}));
    CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR result{1, 2, 3, 4};
    std::string errors;
    EXPECT_EQ(run([&] { card.getRssiEcloForCDMAndHDR(result); }, errors),
              CnsErrors::UNUSABLE_REPLY);
    EXPECT_EQ(result.cdmaRssi, 1);
    EXPECT_EQ(result.cdmaEcio, 2);
    EXPECT_EQ(result.hdrRssi, 3);
    EXPECT_EQ(result.hdrEcio, 4);
    // The HDR RSSI would take the closing flag as its second byte.
    EXPECT_EQ(errors, "Reply of 21 bytes holds no value at offset 19.\n");
}

// A modem type reply whose parameter holds `type` at parameter bytes 2-3.
SimulatedModem::Answer modemTypeReply(unsigned char parameterLength, unsigned short type) {
    Bytes parameter(parameterLength, 0x11);
    if (parameterLength >= 4) {
        parameter[2] = static_cast<unsigned char>(type >> 8);
        parameter[3] = static_cast<unsigned char>(type);
    }
    return SimulatedModem::reply(OBJ_MODEM_TYPE, parameter);
}

TEST_F(CardQueriesTest, ModemTypeAndName) {
    const struct {
        unsigned char parameterLength;
        unsigned short reported;
        unsigned short type;
        const char* name;
    } cases[] = {
        {0x28, 0x25, 0x25, "MC5727"},           {0x28, 0x3A, 58, "MC5727V"},
        {0x08, 0x3B, 0x3B, "MC5728"},           {0x08, 0x3C, 0x3C, "MC5728V"},
        {0x28, 0x3D, 0x3D, "Unknown modem."},   {0x28, 0x0000, 0x0000, "Unknown modem."},
        {0x10, 0x3A, 0xFFFF, "Unknown modem."}, {0x04, 0x3A, 0xFFFF, "Unknown modem."},
        {0x00, 0x00, 0xFFFF, "Unknown modem."},
    };
    for (const auto& c : cases) {
        modem.answer(OBJ_MODEM_TYPE, modemTypeReply(c.parameterLength, c.reported));
        EXPECT_EQ(card.getModemType(), c.type) << "length " << int{c.parameterLength};
        EXPECT_STREQ(card.getModemTypeName(), c.name) << "length " << int{c.parameterLength};
    }
    EXPECT_TRUE(sameBytes(getRequestFor(OBJ_MODEM_TYPE), modem.requests().back()));
}

// Declaring the parameter that carries the type, it ends before the type;
// its last flag, with nothing after it, opens a frame that never closes.
TEST_F(CardQueriesTest, ModemTypeReplyShorterThanItSaysIsTorn) {
    Bytes cut = replyFrame(OBJ_MODEM_TYPE, 0x02, {0x11, 0x11, 0x00});
    cut[2] = 10 + 0x28;
    cut[14] = 0x28;
    modem.answer(OBJ_MODEM_TYPE, SimulatedModem::raw(cut));
    std::string errors;
    EXPECT_EQ(run([&] { card.getModemType(); }, errors), CnsErrors::UNUSABLE_REPLY);
    EXPECT_EQ(errors,
              "Dropped a torn frame of 18 bytes.\nUnusable reply of 1 bytes: no closing flag.\n");
}

TEST_F(CardQueriesTest, QueriesAfterAFailedWriteReadNothing) {
    modem.stall();
    std::string errors;
    EXPECT_EQ(run([&] { card.getModemType(); }, errors), CnsErrors::UNUSABLE_REPLY);
    EXPECT_EQ(errors,
              "Error writing Connection timed out\n"
              "Reply of 0 bytes holds no value at offset 14.\n");
}

// One transaction per setting, its reply kept; a rejected setting is
// reported, not thrown. (The set frames on the wire: CardToolTest's
// SetHybridSendsTheSettingThenReadsTheModeBack.)
TEST_F(CardQueriesTest, HybridPreferenceSetReplies) {
    modem.answer(OBJ_HDR_HYBRID_PREFERENCE,
                 SimulatedModem::raw(replyFrame(OBJ_HDR_HYBRID_PREFERENCE, 0x04, value16(1))));
    card.setHDRHybridPreference(false);
    EXPECT_EQ(modem.requests().size(), 1u);
    EXPECT_EQ(card.lastReplyHeader().operationType, 0x04) << "the reply is kept";
    modem.answer(OBJ_HDR_HYBRID_PREFERENCE,
                 SimulatedModem::raw(replyFrame(OBJ_HDR_HYBRID_PREFERENCE, 0x84, {})));
    std::string errors;
    EXPECT_EQ(run([&] { card.setHDRHybridPreference(true); }, errors), std::nullopt);
    EXPECT_EQ(errors, "4202 query data packet has an error associated with it.\n");
}

}  // namespace
