// What the card's frame buffer makes of a flaky line (tools/sim/FlakyLine.h)
// read in pieces.
#pragma once

#include <cstddef>
#include <vector>

#include "card/CardPort.h"
#include "sim/FlakyLine.h"

namespace LineStream {

using Bytes = std::vector<unsigned char>;

struct Split {
    std::vector<Bytes> frames;
    std::size_t tornFrames = 0;
    bool overflowed = false;  // the buffer filled without holding a frame
};

// Feeds `bytes` to a frame buffer in pieces of 1 to 32 bytes, as reads from
// the port would bring them, and collects what it hands out.
template <typename Choose>
Split split(const Bytes& bytes, Choose&& choose) {
    CardPort::FrameBuffer buffer;
    Split result;
    std::size_t fed = 0;
    while (fed < bytes.size() && !result.overflowed) {
        const std::size_t piece = std::min<std::size_t>(1 + choose(32), bytes.size() - fed);
        fed += buffer.append(bytes.data() + fed, piece);
        for (;;) {
            const auto held = buffer.next();
            if (held == CardPort::FrameBuffer::Held::Open) {
                result.overflowed = buffer.room() == 0;
                break;
            }
            if (held == CardPort::FrameBuffer::Held::Torn) {
                ++result.tornFrames;
            } else {
                result.frames.emplace_back(buffer.frame(), buffer.frame() + buffer.frameSize());
            }
        }
    }
    return result;
}

}  // namespace LineStream
