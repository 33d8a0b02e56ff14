#include "cns/CnsPacketData.h"

#include <gtest/gtest.h>

#include "cns/CnsErrors.h"
#include "support/Bytes.h"
#include "support/Errors.h"

namespace {

// An RSSI reply carrying 75.
const Bytes kRssiReply = {
    0x7E,                    // opening flag
    0x00, 0x0C,              // length word 12
    0x2B,                    // message id
    0x00,                    // unnamed
    0x10, 0x01,              // object OBJ_RSSI
    0x02,                    // operation: get reply
    0x00,                    // unnamed
    0x00, 0x00, 0x00, 0x00,  // application id
    0x00, 0x02,              // parameter length 2
    0x00, 0x4B,              // parameter: 75
    0x7E,                    // closing flag
};

TEST(CnsPacketDataTest, DecodesTheHeaderOfAReply) {
    CnsPacketData packet;
    CnsPacketData::populateCnsPacket(kRssiReply, packet);
    EXPECT_EQ(packet.lengthOfCnsPacketWithParameterLength, 12);
    EXPECT_EQ(packet.messageId, 0x2B);
    EXPECT_EQ(packet.cnsObjectId, 0x1001);
    EXPECT_EQ(packet.operationType, 2);
    EXPECT_EQ(packet.applicationId, 0u);
    EXPECT_EQ(packet.lengthOfCnsParameter, 2);
    EXPECT_FALSE(packet.isError());
    EXPECT_TRUE(sameBytes(kRssiReply, packet.packetData));
    // Raw bytes decode alike, kept as they came: an escaped parameter too.
    const Bytes escaped =
        concat(Bytes(kRssiReply.begin(), kRssiReply.end() - 3), {0x7D, 0x5E, 0x7E});
    CnsPacketData raw;
    CnsPacketData::populateCnsPacket(escaped.data(), static_cast<unsigned>(escaped.size()), raw);
    EXPECT_EQ(raw.cnsObjectId, 0x1001);
    EXPECT_EQ(raw.lengthOfCnsPacketWithParameterLength, 12);
    EXPECT_EQ(raw.lengthOfCnsParameter, 2);
    EXPECT_TRUE(sameBytes(escaped, raw.packetData));

    Bytes reply = kRssiReply;
    reply[1] = 0x01;  // length word 0x0102, big-endian
    reply[2] = 0x02;
    reply[5] = 0x40;  // object 0x4008
    reply[6] = 0x08;
    reply[7] = 0x82;  // an error reply
    reply[9] = 0xA9;  // application id byte 9; bytes 10..12 are not read
    reply[10] = 0xFF;
    reply[12] = 0xFF;
    reply[13] = 0x01;  // byte 13 is not read
    reply[14] = 0x28;
    CnsPacketData::populateCnsPacket(reply, packet);
    EXPECT_EQ(packet.lengthOfCnsPacketWithParameterLength, 0x0102);
    EXPECT_EQ(packet.cnsObjectId, 0x4008);
    EXPECT_TRUE(packet.isError());
    EXPECT_EQ(packet.operations.operationFromError(packet.operationType), 2);
    EXPECT_EQ(packet.applicationId, 0xA9u);
    EXPECT_EQ(packet.lengthOfCnsParameter, 0x28);
}

TEST(CnsPacketDataTest, ReplyShorterThanItsHeaderIsUnusableAndChangesNothing) {
    CnsPacketData packet;
    CnsPacketData::populateCnsPacket(kRssiReply, packet);
    for (const std::size_t size : {0, 1, 4, 14}) {
        const Bytes cut(kRssiReply.begin(), kRssiReply.begin() + size);
        EXPECT_EQ(thrownError([&] { CnsPacketData::populateCnsPacket(cut, packet); }),
                  CnsErrors::UNUSABLE_REPLY)
            << size << " bytes";
        EXPECT_EQ(
            thrownError([&] { CnsPacketData::populateCnsPacket(kRssiReply.data(), size, packet); }),
            CnsErrors::UNUSABLE_REPLY)
            << size << " raw bytes";
        EXPECT_EQ(packet.cnsObjectId, 0x1001) << size << " bytes";
        EXPECT_TRUE(sameBytes(kRssiReply, packet.packetData)) << size << " bytes";
    }
    const Bytes headerOnly(kRssiReply.begin(), kRssiReply.begin() + 15);
    EXPECT_EQ(thrownError([&] { CnsPacketData::populateCnsPacket(headerOnly, packet); }),
              std::nullopt);
    EXPECT_EQ(packet.packetData.size(), 15u);
}

}  // namespace
