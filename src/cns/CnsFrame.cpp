#include "cns/CnsFrame.h"

#include "cns/CnsOperations.h"

namespace CnsFrame {

namespace {

// Whether a frame that reached a flag after `parameterBytes` unescaped
// parameter bytes is as long as its header declares. Only the line's reader
// asks: a reply handed to the decode is stored whatever its lengths hold.
bool asLongAsDeclared(const unsigned char* frame, std::size_t parameterBytes) {
    const std::size_t declared = CnsOperations::get16BigEndian(frame + kParameterLengthWordOffset);
    const std::size_t lengthWord = CnsOperations::get16BigEndian(frame + kLengthOffset);
    if (lengthWord != kLengthWithoutParameter + declared) {
        return false;
    }
    // A frame with no parameter may carry a zero byte in its place, as a
    // get request does.
    return parameterBytes == declared ||
           (declared == 0 && parameterBytes == 1 && frame[kParameterOffset] == 0);
}

}  // namespace

Location locateFrame(const unsigned char* bytes, std::size_t count) {
    std::size_t start = 0;
    while (start < count && bytes[start] != kFlag) {
        ++start;
    }
    while (start + 1 < count && bytes[start + 1] == kFlag) {
        ++start;
    }
    std::size_t parameterBytes = 0;
    for (std::size_t i = start + 1; i < count; ++i) {
        const bool inParameter = i - start >= kHeaderSize;
        if (bytes[i] == kFlag) {
            return inParameter && asLongAsDeclared(bytes + start, parameterBytes)
                       ? Location{start, i + 1, Ending::Closed}
                       : Location{start, i, Ending::Torn};
        }
        if (!inParameter) {
            continue;
        }
        ++parameterBytes;
        if (bytes[i] == kEscape && i + 1 < count) {
            ++i;  // its partner
            if (bytes[i] == kFlag) {
                return {start, i, Ending::Torn};
            }
        }
    }
    return {start, 0, Ending::Open};
}

}  // namespace CnsFrame
