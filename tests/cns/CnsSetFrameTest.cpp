// Set requests and parameter-body extraction.
#include <gtest/gtest.h>

#include <memory>

#include "cns/CnsImp.h"
#include "cns/CnsObjects.h"
#include "support/Bytes.h"

namespace {

using CnsObjects::OBJ_HDR_HYBRID_PREFERENCE;

Bytes setRequest(CnsImp& request, unsigned short value) {
    int size = -1;
    const std::unique_ptr<unsigned char[]> frame(request.getCnsDataForSet(value, size));
    return Bytes(frame.get(), frame.get() + size);
}

Bytes hybridSetRequest(unsigned short value) {
    CnsImp request;
    request.setCnsObjectForSet(OBJ_HDR_HYBRID_PREFERENCE);
    return setRequest(request, value);
}

TEST(CnsSetFrameTest, ParameterBytesAreEscapedAndCountedUnescaped) {
    const Bytes header = {
        0x7E,                    // opening flag
        0x00, 0x0C,              // length from the object id on: 12
        0x2B,                    // message id
        0x00,                    // unnamed
        0x10, 0x6A,              // object OBJ_HDR_HYBRID_PREFERENCE
        0x03,                    // operation: set
        0x00,                    // unnamed
        0x00, 0x00, 0x00, 0x00,  // application id
        0x00, 0x02,              // parameter length 2, counted unescaped
    };
    const struct {
        unsigned short value;
        Bytes parameter;  // as sent, closing flag included
    } cases[] = {
        {0x0001, {0x00, 0x01, 0x7E}},
        {0x0000, {0x00, 0x00, 0x7E}},
        {0x007E, {0x00, 0x7D, 0x5E, 0x7E}},
        {0x7D41, {0x7D, 0x5D, 0x41, 0x7E}},
        {0x7D7E, {0x7D, 0x5D, 0x7D, 0x5E, 0x7E}},
        {0x7E7D, {0x7D, 0x5E, 0x7D, 0x5D, 0x7E}},
        {0x5E5D, {0x5E, 0x5D, 0x7E}},  // already-escaped codes go as they are
        {0xFFFF, {0xFF, 0xFF, 0x7E}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(sameBytes(concat(header, c.parameter), hybridSetRequest(c.value)))
            << "value " << c.value;
    }
}

TEST(CnsSetFrameTest, SetLeavesTheRequestAtOperationThree) {
    CnsImp request;
    request.setCnsObjectForGet(OBJ_HDR_HYBRID_PREFERENCE);
    setRequest(request, 1);
    int size = -1;
    const std::unique_ptr<unsigned char[]> get(request.getCnsDataForQuery(size));
    ASSERT_EQ(size, 17);
    EXPECT_EQ(get[7], 0x03);
    EXPECT_EQ(get[2], 0x0A) << "still a get request's length";
    EXPECT_EQ(get[16], 0x7E);
}

struct BodyCase {
    const char* name;
    Bytes frame;
    unsigned int length;  // bytes parseOutReturnBody may read
    Bytes body;
};

void PrintTo(const BodyCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseOutReturnBodyTest : public testing::TestWithParam<BodyCase> {};

TEST_P(ParseOutReturnBodyTest, ExtractsTheUnescapedParameter) {
    const BodyCase& c = GetParam();
    // Exactly `length` bytes of storage, so a read beyond them is caught.
    const Bytes readable(c.frame.begin(), c.frame.begin() + c.length);
    EXPECT_TRUE(sameBytes(c.body, CnsImp().parseOutReturnBody(readable.data(), c.length)));
    if (c.length == c.frame.size()) {
        EXPECT_TRUE(sameBytes(c.body, CnsImp().parseOutReturnBody(c.frame)));
    }
}

Bytes reply(unsigned char parameterLength, const Bytes& tail) {
    const Bytes header = {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01,           0x02,
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, parameterLength};
    return concat(header, tail);
}

const Bytes kNoFlag = reply(2, {0x41, 0x42, 0x43, 0x44});
const Bytes kEndsWithEscape = reply(4, {0x41, 0x7D});

INSTANTIATE_TEST_SUITE_P(
    Frames, ParseOutReturnBodyTest,
    testing::Values(
        BodyCase{"EscapedFlag", reply(2, {0x7D, 0x5E, 0x41, 0x7E}), 19, {0x7E, 0x41}},
        BodyCase{"StopsAtDeclaredLength", kNoFlag, 19, {0x41, 0x42}},
        BodyCase{"StopsAtClosingFlag", reply(9, {0x41, 0x7E, 0x42}), 18, {0x41}},
        BodyCase{"StopsAtLength", kNoFlag, 16, {0x41}},
        BodyCase{"EscapeTakesTheFlag", reply(3, {0x7D, 0x7E, 0x41, 0x7E}), 19, {0x00, 0x41}},
        BodyCase{"UnknownPairGivesZero", reply(2, {0x7D, 0x41, 0x42, 0x7E}), 19, {0x00, 0x42}},
        BodyCase{"EscapeAsLastByte", kEndsWithEscape, 17, {0x41}},
        BodyCase{"EscapeAsLastReadableByte", reply(4, {0x41, 0x7D, 0x5D}), 17, {0x41}},
        BodyCase{"DeclaredZero", reply(0, {0x41, 0x7E}), 17, {}},
        BodyCase{"HeaderOnly", reply(2, {}), 15, {}},
        BodyCase{"ShorterThanTheHeader", reply(2, {0x41}), 14, {}}, BodyCase{"Empty", {}, 0, {}}),
    [](const testing::TestParamInfo<BodyCase>& info) { return info.param.name; });

}  // namespace
