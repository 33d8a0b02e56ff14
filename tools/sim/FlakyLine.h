// A flaky line's bytes: whole frames, with torn frames (broken off inside
// the header or right after an escape byte, then a flag), frames that lost
// their tail and took in stray bytes, frames joined by an overrun (the head
// of one and the tail of another, the bytes between them lost), stray flags
// and line noise between them. `choose(n)` picks a number below n: a seeded
// generator in the tests, the fuzzer's bytes in the fuzz target.
#pragma once

#include <cstddef>
#include <vector>

#include "cns/CnsImp.h"

namespace FlakyLine {

using Bytes = std::vector<unsigned char>;

constexpr unsigned char kFlag = 0x7E;
constexpr unsigned char kEscape = 0x7D;
constexpr unsigned char kStray = 0x55;

struct Stream {
    Bytes bytes;
    std::vector<Bytes> wholeFrames;  // in the order sent
    std::size_t tornFrames = 0;
};

template <typename Choose>
unsigned char anyButFlag(Choose& choose) {
    const auto b = static_cast<unsigned char>(choose(255));
    return b >= kFlag ? static_cast<unsigned char>(b + 1) : b;
}

// Flag and a header: 14 bytes that are never a flag, escape bytes included.
template <typename Choose>
Bytes opening(Choose& choose) {
    Bytes frame = {kFlag};
    for (int i = 0; i < 14; ++i) {
        frame.push_back(anyButFlag(choose));
    }
    return frame;
}

template <typename Choose>
void appendEscaped(Bytes& frame, std::size_t count, Choose& choose) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto b = static_cast<unsigned char>(choose(256));
        if (b == kFlag || b == kEscape) {
            frame.insert(frame.end(), {kEscape, static_cast<unsigned char>(b ^ 0x20)});
        } else {
            frame.push_back(b);
        }
    }
}

// A frame as the modem sends it: a header that declares its parameter's
// size (its other fields anything but a flag), the parameter escaped, and
// with no parameter a zero byte or none.
template <typename Choose>
Bytes wholeFrame(Choose& choose) {
    const auto parameter = static_cast<unsigned char>(choose(8));
    Bytes frame = opening(choose);
    frame[1] = 0;
    frame[2] = static_cast<unsigned char>(10 + parameter);
    frame[13] = 0;
    frame[14] = parameter;
    appendEscaped(frame, parameter, choose);
    if (parameter == 0 && choose(2) == 0) {
        frame.push_back(0x00);
    }
    frame.push_back(kFlag);
    return frame;
}

// Whether bytes from a flag to the next read as a frame as long as its
// header says, one the modem could have sent whole: a length word of 10
// plus the parameter length, and that many parameter bytes unescaped, or
// with none declared a zero byte (never escaped) or nothing. (The last byte
// is a flag, so the unescaping never runs out of bytes.)
inline bool readsAsSent(const Bytes& run) {
    Bytes unescaped;
    CnsImp().getCnsPacketWithCnsParameter(run, unescaped);
    if (unescaped.size() < 16 || unescaped.front() != kFlag || unescaped.back() != kFlag) {
        return false;
    }
    const std::size_t declared = unescaped[13] << 8 | unescaped[14];
    const std::size_t parameter = unescaped.size() - 16;
    return static_cast<std::size_t>(unescaped[1] << 8 | unescaped[2]) == 10 + declared &&
           (parameter == declared || (declared == 0 && parameter == 1 && run[15] == 0));
}

// A torn or joined frame, up to the flag that will end it, that happens to
// be as long as its header says takes one more stray byte: no reader could
// tell it from a frame sent whole. About one in 40 of the torn frames with
// stray bytes and of the joined ones (with the head's flag) needs it: the
// stray bytes stand in for exactly as many lost, or the run lost is exactly
// as long as a frame of the same size, or the two headers' lengths agree.
inline void spoilIfItReadsAsSent(Bytes& run) {
    Bytes closed = run;
    closed.push_back(kFlag);
    if (readsAsSent(closed)) {
        run.push_back(kStray);
    }
}

// `sent` broken off anywhere before its closing flag, then up to 8 stray
// bytes; the next flag ends it.
template <typename Choose>
Bytes withStrayBytes(const Bytes& sent, Choose& choose) {
    Bytes run(sent.begin(), sent.begin() + static_cast<long>(1 + choose(sent.size() - 1)));
    for (std::size_t n = choose(9); n > 0; --n) {
        run.push_back(anyButFlag(choose));
    }
    spoilIfItReadsAsSent(run);
    return run;
}

// An overrun: the first `kept` bytes of `head` (none, or from its opening
// flag on) and the tail of `tail` (at least its closing flag, never its
// opening one); the bytes between them are lost.
template <typename Choose>
Bytes joined(const Bytes& head, std::size_t kept, const Bytes& tail, Choose& choose) {
    Bytes run(head.begin(), head.begin() + static_cast<long>(kept));
    const std::size_t tailKept = 1 + choose(tail.size() - 1);
    run.insert(run.end(), tail.end() - static_cast<long>(tailKept), tail.end() - 1);
    spoilIfItReadsAsSent(run);
    run.push_back(kFlag);
    return run;
}

// Whether the bytes begin a frame that the next flag tears (or closes).
inline bool opensAFrame(const Bytes& bytes) {
    return bytes.size() >= 2 && bytes[0] == kFlag && bytes[1] != kFlag;
}

template <typename Choose>
Stream makeStream(Choose&& choose, std::size_t elements) {
    enum { Whole, TornInHeader, TornAfterEscape, StrayBytes, Joined, Noise, StrayFlag, Kinds };
    Stream stream;
    bool flagNext = false;  // a torn frame or a stray flag ends at the next flag
    for (std::size_t i = 0; i < elements || flagNext; ++i) {
        int kind = i < elements ? static_cast<int>(choose(Kinds)) : Whole;
        if (kind == Noise && flagNext) {
            kind = Whole;
        }
        Bytes element;
        if (kind == Whole) {
            element = wholeFrame(choose);
            stream.wholeFrames.push_back(element);
        } else if (kind == TornInHeader) {
            element = {kFlag};
            for (std::size_t n = 1 + choose(13); n > 0; --n) {
                element.push_back(anyButFlag(choose));
            }
        } else if (kind == TornAfterEscape) {
            element = opening(choose);
            appendEscaped(element, choose(4), choose);
            element.push_back(kEscape);
        } else if (kind == StrayBytes) {
            element = withStrayBytes(wholeFrame(choose), choose);
        } else if (kind == Joined) {
            const Bytes head = wholeFrame(choose);
            const std::size_t kept = flagNext + choose(head.size() - flagNext);
            element = joined(head, kept, wholeFrame(choose), choose);
        } else if (kind == Noise) {
            for (std::size_t n = 1 + choose(8); n > 0; --n) {
                element.push_back(anyButFlag(choose));
            }
        } else {
            element = {kFlag};
        }
        stream.tornFrames += kind != Whole && kind != StrayFlag && opensAFrame(element);
        flagNext = kind != Whole && kind != Noise;
        stream.bytes.insert(stream.bytes.end(), element.begin(), element.end());
    }
    return stream;
}

}  // namespace FlakyLine
