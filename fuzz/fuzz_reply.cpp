// The reply path as the card runs it: the first frame found in at most 125
// bytes read, unescaped into the query result, its header decoded, then
// every value the queries read (byte 14, offsets 15 to 22).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "card/CardReply.h"
#include "cns/CnsErrors.h"
#include "cns/CnsFrame.h"

namespace {

constexpr std::size_t kReadSize = 125;

void checkThat(bool holds) {
    if (!holds) {
        std::abort();
    }
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
    const CnsFrame::Location found = CnsFrame::locateFrame(data, size);
    checkThat(found.start <= size);
    if (!found.complete()) {
        return 0;
    }
    // Flag, 14 header bytes, the closing flag at least.
    checkThat(found.end >= found.start + 16 && found.end <= size);
    checkThat(data[found.start] == 0x7E && data[found.end - 1] == 0x7E);
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
    return 0;
}
