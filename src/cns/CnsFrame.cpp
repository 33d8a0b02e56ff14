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
    for (std::size_t i = start + kHeaderSize; i < count; ++i) {
        if (bytes[i] == kEscape) {
            ++i;  // its partner, whatever it is
        } else if (bytes[i] == kFlag) {
            return {start, i + 1};
        }
    }
    return {start, 0};
}

}  // namespace CnsFrame
