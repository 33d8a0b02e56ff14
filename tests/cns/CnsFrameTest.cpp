// Where a frame begins and ends in bytes read from the port.
#include "cns/CnsFrame.h"

#include <gtest/gtest.h>

#include "support/Bytes.h"

namespace {

// Flag and a 14-byte header whose parameter length is `length`.
Bytes header(unsigned char length) {
    return {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01,  0x02,
            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, length};
}

TEST(CnsFrameTest, FrameEndsAtTheFirstUnescapedFlagAfterItsHeader) {
    constexpr std::size_t kIncomplete = 0;
    const struct {
        const char* name;
        Bytes bytes;
        std::size_t start;
        std::size_t end;
    } cases[] = {
        {"nothing", {}, 0, kIncomplete},
        {"no flag at all", {0x01, 0x02, 0x03}, 3, kIncomplete},
        {"whole frame", concat(header(2), {0x00, 0x4B, 0x7E}), 0, 18},
        {"bytes after it are not its own", concat(header(2), {0x00, 0x4B, 0x7E, 0x7E, 0x01}), 0,
         18},
        {"stray bytes before its flag", concat({0x55, 0x7D}, concat(header(2), {0x00, 0x4B, 0x7E})),
         2, 20},
        {"a flag in the header is header", concat({0x7E, 0x00, 0x7E}, Bytes(12, 0x7E)), 0,
         kIncomplete},
        {"escaped flag in the parameter", concat(header(2), {0x7D, 0x5E, 0x01, 0x7E}), 0, 19},
        {"escape takes the flag as its partner", concat(header(2), {0x01, 0x7D, 0x7E}), 0,
         kIncomplete},
        {"escape pair, then the closing flag", concat(header(2), {0x01, 0x7D, 0x7E, 0x7E}), 0, 19},
        {"cut inside the header",
         {0x7E, 0x00, 0x0C, 0x2B, 0x00, 0x10, 0x01, 0x02, 0x00},
         0,
         kIncomplete},
        {"cut before the closing flag", concat(header(2), {0x00, 0x4B}), 0, kIncomplete},
        {"lengths are not used", concat(header(9), {0x00, 0x4B, 0x7E}), 0, 18},
        {"a frame's tail before the next frame", concat({0x7E}, concat(header(0), {0x7E})), 1, 17},
    };
    for (const auto& c : cases) {
        const CnsFrame::Location found = CnsFrame::locateFrame(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(found.start, c.start) << c.name;
        EXPECT_EQ(found.end, c.end) << c.name;
        EXPECT_EQ(found.complete(), c.end != kIncomplete) << c.name;
    }
}

}  // namespace
