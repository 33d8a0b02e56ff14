#include "cns/CnsFrame.h"

namespace CnsFrame {

Location locateFrame(const unsigned char* bytes, std::size_t count) {
    std::size_t start = 0;
    while (start < count && bytes[start] != kFlag) {
        ++start;
    }
    while (start + 1 < count && bytes[start + 1] == kFlag) {
        ++start;
    }
    for (std::size_t i = start + 1; i < count; ++i) {
        const bool inParameter = i - start >= kHeaderSize;
        if (bytes[i] == kFlag) {
            return inParameter ? Location{start, i + 1, Ending::Closed}
                               : Location{start, i, Ending::Torn};
        }
        if (inParameter && bytes[i] == kEscape && i + 1 < count) {
            ++i;  // its partner
            if (bytes[i] == kFlag) {
                return {start, i, Ending::Torn};
            }
        }
    }
    return {start, 0, Ending::Open};
}

}  // namespace CnsFrame
