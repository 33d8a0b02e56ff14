#include "cns/CnsImp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "cns/CnsErrors.h"
#include "cns/CnsObjects.h"
#include "support/Bytes.h"
#include "support/Errors.h"

namespace {

using namespace CnsObjects;

Bytes getRequest(const CnsImp& request) {
    int size = -1;
    const std::unique_ptr<unsigned char[]> frame(request.getCnsDataForQuery(size));
    return Bytes(frame.get(), frame.get() + size);
}

Bytes getRequestFor(unsigned short object) {
    CnsImp request;
    request.setCnsObjectForGet(object);
    return getRequest(request);
}

TEST(CnsImpGetRequestTest, IsByteForByteWithTheObjectBigEndianAtOffsetFive) {
    const struct {
        unsigned short object;
        unsigned char high, low;
    } cases[] = {
        {OBJ_RSSI, 0x10, 0x01},
        {OBJ_MODEM_TYPE, 0x00, 0x0A},
        {OBJ_ROAMING_STATUS, 0x10, 0x07},
        {OBJ_BAND_CLASS, 0x40, 0x08},
        {OBJ_HDR_HYBRID_PREFERENCE, 0x10, 0x6A},
        {OBJ_RSSI_ECIO_CDMA_HDR, 0x10, 0x65},
        {OBJ_SERVICE_INDICATION, 0x10, 0x06},
        {0x7E7D, 0x7E, 0x7D},  // header bytes are never escaped
    };
    for (const auto& c : cases) {
        const Bytes expected = {
            0x7E,                       // opening flag
            0x00,   0x0A,               // length from the object id on: 10
            0x2B,                       // message id
            0x00,                       // unnamed
            c.high, c.low,              // the object, big-endian
            0x01,                       // operation: get
            0x00,                       // unnamed
            0x00,   0x00,  0x00, 0x00,  // application id
            0x00,   0x00,               // parameter length 0
            0x00,                       // the zero byte standing in for the parameter
            0x7E,                       // closing flag
        };
        EXPECT_TRUE(sameBytes(expected, getRequestFor(c.object))) << "object " << c.object;
    }
    // A new request asks for the service indication.
    EXPECT_TRUE(sameBytes(getRequestFor(OBJ_SERVICE_INDICATION), getRequest(CnsImp())));
}

TEST(CnsImpGetRequestTest, DefaultValuesNeverWriteOutsideTheFrame) {
    CnsImp request;
    request.setCnsObjectForGet(OBJ_RSSI);
    Bytes tooSmall(16, 0xAA);
    request.setDefaultValues(tooSmall.data(), static_cast<int>(tooSmall.size()));
    EXPECT_TRUE(sameBytes(Bytes(16, 0xAA), tooSmall));

    Bytes larger(20, 0x00);
    request.setDefaultValues(larger.data(), static_cast<int>(larger.size()));
    EXPECT_EQ(larger[16], 0x7E) << "the closing flag of a get request is at offset 16";
    EXPECT_EQ(larger[19], 0x00);
}

struct UnescapeCase {
    const char* name;
    Bytes reply;
    Bytes expected;
};

void PrintTo(const UnescapeCase& c, std::ostream* os) {
    *os << c.name;
}

class CnsImpUnescapeTest : public testing::TestWithParam<UnescapeCase> {};

TEST_P(CnsImpUnescapeTest, UnescapesOnlyTheParameter) {
    Bytes out;
    CnsImp().getCnsPacketWithCnsParameter(GetParam().reply, out);
    EXPECT_TRUE(sameBytes(GetParam().expected, out));
}

// Header of an RSSI reply with a 2-byte parameter; offsets 0..14.
const Bytes kHeader = {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01, 0x02,
                       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02};

Bytes withHeader(const Bytes& tail) {
    return concat(kHeader, tail);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CnsImpUnescapeTest,
    testing::Values(UnescapeCase{"PlainReplyUnchanged", withHeader({0x00, 0x4B, 0x7E}),
                                 withHeader({0x00, 0x4B, 0x7E})},
                    UnescapeCase{"EscapedFlag", withHeader({0x7D, 0x5E, 0x41, 0x7E}),
                                 withHeader({0x7E, 0x41, 0x7E})},
                    UnescapeCase{"EscapedEscape", withHeader({0x41, 0x7D, 0x5D, 0x7E}),
                                 withHeader({0x41, 0x7D, 0x7E})},
                    UnescapeCase{"UnknownPairGivesZero", withHeader({0x7D, 0x41, 0x42, 0x7E}),
                                 withHeader({0x00, 0x42, 0x7E})},
                    UnescapeCase{"EscapeTakesTheClosingFlag", withHeader({0x00, 0x7D, 0x7E}),
                                 withHeader({0x00, 0x00})},
                    UnescapeCase{"HeaderEscapeBytesCopied",
                                 {0x7E, 0x00, 0x0C, 0x7D, 0x00, 0x10, 0x7D, 0x02, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x7D, 0x7D, 0x7D, 0x5E, 0x7E},
                                 {0x7E, 0x00, 0x0C, 0x7D, 0x00, 0x10, 0x7D, 0x02, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x7D, 0x7D, 0x7E, 0x7E}},
                    UnescapeCase{"ShortReplyCopied", {0x7E, 0x00, 0x7D}, {0x7E, 0x00, 0x7D}},
                    UnescapeCase{"EmptyReply", {}, {}}),
    [](const testing::TestParamInfo<UnescapeCase>& info) { return info.param.name; });

TEST(CnsImpUnescapeTest, CountsOnlyWhatThisCallAppends) {
    // 15 bytes already in `out` must not make byte 3 of this reply a parameter byte.
    Bytes out(15, 0xEE);
    const Bytes reply = {0x7E, 0x00, 0x0C, 0x7D, 0x5E};
    CnsImp().getCnsPacketWithCnsParameter(reply, out);
    Bytes expected(15 + reply.size(), 0xEE);
    std::copy(reply.begin(), reply.end(), expected.begin() + 15);
    EXPECT_TRUE(sameBytes(expected, out));
}

TEST(CnsImpUnescapeTest, ReplyCutInsideAnEscapePairIsUnusable) {
    Bytes out;
    EXPECT_EQ(thrownError([&] {
                  CnsImp().getCnsPacketWithCnsParameter(withHeader({0x00, 0x7D}), out);
              }),
              CnsErrors::UNUSABLE_REPLY);
}

}  // namespace
