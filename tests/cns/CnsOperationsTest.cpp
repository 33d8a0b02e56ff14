#include "cns/CnsOperations.h"

#include <gtest/gtest.h>

namespace {

constexpr bool kHostIsLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

TEST(CnsOperationsTest, OnlyTheTwoEscapeCodesMapToAByte) {
    for (int b = 0; b <= 0xFF; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const unsigned char expected = b == 0x5D ? 0x7D : b == 0x5E ? 0x7E : 0x00;
        EXPECT_EQ(CnsOperations::getEscapedValue(byte), expected) << "byte " << b;
        EXPECT_EQ(CnsOperations::isEscapeValue(byte), b == 0x7D) << "byte " << b;
    }
}

TEST(CnsOperationsTest, ErrorBitAndDirectionsOfOperationCodes) {
    const CnsOperations operations;
    const struct {
        short operation;
        bool error, modemToHost, hostToModem;
    } cases[] = {
        {0, false, false, false},    {1, false, false, true},    {2, false, true, false},
        {3, false, false, true},     {4, false, true, false},    {5, false, false, true},
        {6, false, true, false},     {7, false, true, false},    {8, false, false, true},
        {9, false, true, false},     {10, false, false, false},  {0x7F, false, false, false},
        {0x80, true, false, false},  {0x82, true, false, false}, {0x102, false, false, false},
        {0x182, true, false, false}, {-1, true, false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(operations.isError(c.operation), c.error) << c.operation;
        EXPECT_EQ(operations.isModemTohost(c.operation), c.modemToHost) << c.operation;
        EXPECT_EQ(operations.isHostToModem(c.operation), c.hostToModem) << c.operation;
    }
    EXPECT_EQ(operations.operationFromError(0x82), 2);
    EXPECT_EQ(operations.operationFromError(2), 0x82);
}

// Host-order loads follow the host; big-endian ones give the same number
// on any host; swaps reverse the bytes.
TEST(CnsOperationsTest, ByteOrderHelpers) {
    EXPECT_EQ(CnsOperations::isLittleEndian(), kHostIsLittleEndian);
    const unsigned char bytes[] = {0x00, 0x10, 0x01, 0x02, 0x03};
    EXPECT_EQ(CnsOperations::get16fromBuffer(bytes + 1), kHostIsLittleEndian ? 0x0110 : 0x1001);
    EXPECT_EQ(CnsOperations::get16fromChar(bytes, 1), CnsOperations::get16fromBuffer(bytes + 1));
    EXPECT_EQ(CnsOperations::get32FromBuffer(bytes + 1),
              kHostIsLittleEndian ? 0x03020110u : 0x10010203u);
    EXPECT_EQ(CnsOperations::get32fromChar(bytes, 1), CnsOperations::get32FromBuffer(bytes + 1));

    const unsigned char network[] = {0x10, 0x01, 0xFE, 0x7D};
    EXPECT_EQ(CnsOperations::get16BigEndian(network), 0x1001);
    EXPECT_EQ(CnsOperations::get16BigEndian(network + 2), 0xFE7D);
    EXPECT_EQ(CnsOperations::get32BigEndian(network), 0x1001FE7Du);

    EXPECT_EQ(CnsOperations::endianSwap16(0x1001), 0x0110);
    EXPECT_EQ(CnsOperations::endianSwap16(0xFF00), 0x00FF);
    EXPECT_EQ(CnsOperations::endianSwap32(0x12345678u), 0x78563412u);
    EXPECT_EQ(CnsOperations::endianSwap32(0xFF000080u), 0x800000FFu);
}

}  // namespace
