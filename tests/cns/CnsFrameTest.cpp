// Where a frame begins and ends in bytes read from the port.
#include "cns/CnsFrame.h"

#include <gtest/gtest.h>

#include "support/Bytes.h"

namespace {

using CnsFrame::Ending;

// Flag and a 14-byte header declaring `parameterLength` (offsets 13-14) and
// a length word of 10 plus that, unless `lengthWord` says otherwise.
Bytes header(unsigned short parameterLength, int lengthWord = -1) {
    const auto word =
        static_cast<unsigned short>(lengthWord < 0 ? 10 + parameterLength : lengthWord);
    Bytes bytes = {0x7E, 0x00, 0x00, 0x2B, 0x00, 0x10, 0x01, 0x02,
                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    bytes[1] = static_cast<unsigned char>(word >> 8);
    bytes[2] = static_cast<unsigned char>(word);
    bytes[13] = static_cast<unsigned char>(parameterLength >> 8);
    bytes[14] = static_cast<unsigned char>(parameterLength);
    return bytes;
}

// Escape bytes in the application id and in the parameter length's low
// byte, right before the parameter: header bytes, none an escape.
Bytes escapeBytesInTheHeader() {
    Bytes frame = concat(header(0x7D), Bytes(0x7D, 0x11));
    frame[9] = 0x7D;
    frame.push_back(0x7E);
    return frame;
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

TEST_P(LocateFrameTest, EveryFlagIsABoundaryAndAFrameIsAsLongAsItSays) {
    const FrameCase& c = GetParam();
    const CnsFrame::Location found = CnsFrame::locateFrame(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(found.start, c.start);
    EXPECT_EQ(found.ending, c.ending);
    EXPECT_EQ(found.end, c.end);
}

const Bytes kWhole = concat(header(2), {0x00, 0x4B, 0x7E});

Bytes headOfWhole(long size) {
    return Bytes(kWhole.begin(), kWhole.begin() + size);
}

INSTANTIATE_TEST_SUITE_P(
    CnsFrameTest, LocateFrameTest,
    testing::Values(
        FrameCase{"Nothing", {}, 0, 0, Ending::Open},
        FrameCase{"NoFlagAtAll", {0x01, 0x02, 0x03}, 3, 0, Ending::Open},
        FrameCase{"WholeFrame", kWhole, 0, 18, Ending::Closed},
        FrameCase{"BytesAfterItAreNotItsOwn", concat(kWhole, {0x7E, 0x01}), 0, 18, Ending::Closed},
        FrameCase{"StrayBytesBeforeItsFlag", concat({0x55, 0x7D}, kWhole), 2, 20, Ending::Closed},
        FrameCase{"FlagsBetweenFramesOpenNothing", concat({0x7E, 0x7E}, kWhole), 2, 20,
                  Ending::Closed},
        FrameCase{"EscapeBytesInTheHeaderAreHeader", escapeBytesInTheHeader(), 0, 141,
                  Ending::Closed},
        // Declared against actual size: only a frame as long as it says is
        // complete; any other is torn, and its flag opens the next frame.
        FrameCase{"EscapesMakeTheLineLongerThanTheSize",
                  concat(header(2), {0x7D, 0x5E, 0x7D, 0x5D, 0x7E}), 0, 20, Ending::Closed},
        FrameCase{"EscapePairsCountOnce", concat(header(3), {0x7D, 0x5E, 0x01, 0x7E}), 0, 18,
                  Ending::Torn},
        FrameCase{"OneByteShort", concat(header(2), {0x4B, 0x7E}), 0, 16, Ending::Torn},
        FrameCase{"OneByteLong", concat(header(2), {0x00, 0x4B, 0x01, 0x7E}), 0, 18, Ending::Torn},
        FrameCase{"NoParameterAndNoZeroByte", concat(header(0), {0x7E}), 0, 16, Ending::Closed},
        FrameCase{"NoParameterAndTheZeroByte", concat(header(0), {0x00, 0x7E}), 0, 17,
                  Ending::Closed},
        FrameCase{"NoParameterButANonZeroByte", concat(header(0), {0x4B, 0x7E}), 0, 16,
                  Ending::Torn},
        FrameCase{"NoParameterButAValue", concat(header(0), {0x00, 0x4B, 0x7E}), 0, 17,
                  Ending::Torn},
        FrameCase{"LengthWordDisagrees", concat(header(2, 0x0D), {0x00, 0x4B, 0x7E}), 0, 17,
                  Ending::Torn},
        FrameCase{"LengthWordZero", concat(header(2, 0), {0x00, 0x4B, 0x7E}), 0, 17, Ending::Torn},
        FrameCase{"ParameterLengthsHighByteCounts",
                  concat(header(0x7D02, 0x0C), {0x00, 0x4B, 0x7E}), 0, 17, Ending::Torn},
        FrameCase{"ClosingFlagLostAndStrayBytesBeforeTheNextFrame",
                  concat(concat(header(2), {0x00, 0x50, 0xB8, 0x72, 0x8A, 0x18, 0x75}), kWhole), 0,
                  22, Ending::Torn},
        FrameCase{"TornByAFlagInsideTheHeader", concat(headOfWhole(4), kWhole), 0, 4, Ending::Torn},
        FrameCase{"TornByAFlagAtTheHeadersLastOffset", concat(headOfWhole(14), {0x7E}), 0, 14,
                  Ending::Torn},
        FrameCase{"TornByAFlagRightAfterAnEscapeByte", concat(header(2), {0x01, 0x7D, 0x7E, 0x7E}),
                  0, 17, Ending::Torn},
        FrameCase{"OpenWhenCutInsideTheHeader", headOfWhole(9), 0, 0, Ending::Open},
        FrameCase{"OpenWhenCutBeforeTheClosingFlag", headOfWhole(17), 0, 0, Ending::Open},
        FrameCase{"OpenWhileAnEscapeByteWaitsForItsPartner", concat(header(2), {0x01, 0x7D}), 0, 0,
                  Ending::Open}),
    [](const testing::TestParamInfo<FrameCase>& info) { return info.param.name; });

}  // namespace
