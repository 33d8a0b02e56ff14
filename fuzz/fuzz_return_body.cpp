// parseOutReturnBody on a raw frame with any readable length: the first
// two input bytes choose the length, the rest is the frame, held in storage
// of exactly that length so that any read beyond it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "cns/CnsImp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return -1;
    }
    const std::size_t frameSize = size - 2;
    const unsigned int length = (data[0] << 8 | data[1]) % (frameSize + 1);
    const auto frame = std::make_unique<unsigned char[]>(length);
    std::copy(data + 2, data + 2 + length, frame.get());

    const std::vector<unsigned char> body = CnsImp().parseOutReturnBody(frame.get(), length);
    const std::size_t declared = length > 14 ? frame[14] : 0;
    const std::size_t parameterBytes = length > 15 ? length - 15 : 0;
    if (body.size() > declared || body.size() > parameterBytes) {
        std::abort();
    }
    return 0;
}
