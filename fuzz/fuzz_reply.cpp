// The reply path as the card runs it: the first frame found in at most 125
// bytes read (complete only when as long as it says), unescaped into the
// query result, its header decoded, then every value the queries read (byte
// 14, offsets 15 to 22). And the line as the card splits it: the input
// taken as the choices that build a flaky line (whole frames, torn ones,
// frames with stray bytes or joined by an overrun, stray flags, noise) and
// cut it into reads; exactly the whole frames come out, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "card/CardReply.h"
#include "cns/CnsErrors.h"
#include "cns/CnsFrame.h"
#include "sim/FlakyLine.h"
#include "support/LineStream.h"

namespace {

constexpr std::size_t kReadSize = 125;

void checkThat(bool holds) {
    if (!holds) {
        std::abort();
    }
}

void checkReplyPath(const std::uint8_t* data, std::size_t size) {
    const CnsFrame::Location found = CnsFrame::locateFrame(data, size);
    checkThat(found.start <= size);
    if (found.ending == CnsFrame::Ending::Torn) {
        // Broken off by a flag inside the header or right after an escape
        // byte, or not as long as it says; that flag opens the next frame.
        checkThat(found.end < size && data[found.end] == 0x7E);
        checkThat(!FlakyLine::readsAsSent({data + found.start, data + found.end + 1}));
        return;
    }
    if (!found.complete()) {
        return;
    }
    // Flag, 14 header bytes, the closing flag at least.
    checkThat(found.end >= found.start + 16 && found.end <= size);
    checkThat(data[found.start] == 0x7E && data[found.end - 1] == 0x7E);
    checkThat(FlakyLine::readsAsSent({data + found.start, data + found.end}));
    data += found.start;
    size = found.end - found.start;
    std::vector<unsigned char> queryResult;
    CnsPacketData header;
    try {
        CardReply::unescape(data, size, queryResult);
        CardReply::decode(queryResult, header);
    } catch (CnsErrors::ReturnErrors) {
        checkThat(false);  // a complete frame always unescapes and decodes
    }
    // Unescaping only ever shrinks the reply, never below its header.
    checkThat(queryResult.size() >= 15 && queryResult.size() <= size);
    checkThat(header.packetData == queryResult);
    checkThat(header.cnsObjectId == (data[5] << 8 | data[6]));
    for (int offset = 14; offset <= 22; ++offset) {
        try {
            const unsigned short value = CardReply::value16(queryResult, offset);
            checkThat(static_cast<std::size_t>(offset) + 2 <= queryResult.size());
            checkThat(value == (queryResult[offset] << 8 | queryResult[offset + 1]));
            CardReply::value32(queryResult, offset);
            CardReply::byteAt(queryResult, offset);
            CardReply::parameterValue16(queryResult, offset);
            // A value never takes the closing flag.
            checkThat(static_cast<std::size_t>(offset) + 2 < queryResult.size());
        } catch (CnsErrors::ReturnErrors error) {
            checkThat(error == CnsErrors::UNUSABLE_REPLY);
        }
    }
}

void checkLineSplit(const std::uint8_t* data, std::size_t size) {
    std::size_t next = 0;
    const auto choose = [&](std::size_t n) -> std::size_t {
        return next < size ? data[next++] % n : 0;
    };
    const FlakyLine::Stream stream = FlakyLine::makeStream(choose, choose(16));
    const LineStream::Split split = LineStream::split(stream.bytes, choose);
    checkThat(!split.overflowed);
    checkThat(split.frames == stream.wholeFrames);
    checkThat(split.tornFrames == stream.tornFrames);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cerr.rdbuf(nullptr);  // the card's diagnostic lines, not findings
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kReadSize) {
        return -1;
    }
    checkReplyPath(data, size);
    checkLineSplit(data, size);
    return 0;
}
