// Where a frame begins and ends in bytes read from the port.
#include "cns/CnsFrame.h"

#include <gtest/gtest.h>

#include "support/Bytes.h"

namespace {

using CnsFrame::Ending;

// Flag and a 14-byte header whose parameter length is `length`.
Bytes header(unsigned char length) {
    return {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01,  0x02,
            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, length};
}

struct FrameCase {
    const char* name;
    Bytes bytes;
    std::size_t start;
    std::size_t end;
    Ending ending;
};

// The case's name, not its raw bytes: they include padding that was never
// written, which valgrind reports when the tests are listed.
void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

class LocateFrameTest : public testing::TestWithParam<FrameCase> {};

TEST_P(LocateFrameTest, EveryFlagIsABoundary) {
    const FrameCase& c = GetParam();
    const CnsFrame::Location found = CnsFrame::locateFrame(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(found.start, c.start);
    EXPECT_EQ(found.ending, c.ending);
    EXPECT_EQ(found.end, c.end);
}

const Bytes kWhole = concat(header(2), {0x00, 0x4B, 0x7E});

INSTANTIATE_TEST_SUITE_P(
    CnsFrameTest, LocateFrameTest,
    testing::Values(
        FrameCase{"Nothing", {}, 0, 0, Ending::Open},
        FrameCase{"NoFlagAtAll", {0x01, 0x02, 0x03}, 3, 0, Ending::Open},
        FrameCase{"WholeFrame", kWhole, 0, 18, Ending::Closed},
        FrameCase{"BytesAfterItAreNotItsOwn", concat(kWhole, {0x7E, 0x01}), 0, 18, Ending::Closed},
        FrameCase{"StrayBytesBeforeItsFlag", concat({0x55, 0x7D}, kWhole), 2, 20, Ending::Closed},
        FrameCase{"EscapedFlagInTheParameter", concat(header(2), {0x7D, 0x5E, 0x01, 0x7E}), 0, 19,
                  Ending::Closed},
        FrameCase{"EscapeByteInTheHeaderIsHeader",
                  {0x7E, 0x00, 0x0A, 0x2B, 0x00, 0x10, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                   0x00, 0x7D, 0x7E},
                  0,
                  16,
                  Ending::Closed},
        FrameCase{"LengthsAreNotUsed", concat(header(9), {0x00, 0x4B, 0x7E}), 0, 18,
                  Ending::Closed},
        FrameCase{"FlagsBetweenFramesOpenNothing", concat({0x7E, 0x7E}, kWhole), 2, 20,
                  Ending::Closed},
        FrameCase{"TornByAFlagInsideTheHeader", concat({0x7E, 0x00, 0x0C, 0x2B}, kWhole), 0, 4,
                  Ending::Torn},
        FrameCase{"TornByAFlagAtTheHeadersLastOffset",
                  {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                   0x00, 0x7E},
                  0,
                  14,
                  Ending::Torn},
        FrameCase{"TornByAFlagRightAfterAnEscapeByte", concat(header(2), {0x01, 0x7D, 0x7E, 0x7E}),
                  0, 17, Ending::Torn},
        FrameCase{"OpenWhenCutInsideTheHeader",
                  {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01, 0x02, 0x00},
                  0,
                  0,
                  Ending::Open},
        FrameCase{"OpenWhenCutBeforeTheClosingFlag", concat(header(2), {0x00, 0x4B}), 0, 0,
                  Ending::Open},
        FrameCase{"OpenWhileAnEscapeByteWaitsForItsPartner", concat(header(2), {0x01, 0x7D}), 0, 0,
                  Ending::Open}),
    [](const testing::TestParamInfo<FrameCase>& info) { return info.param.name; });

}  // namespace
