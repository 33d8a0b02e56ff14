// Fixed positions and values of a Cns frame.
//
// A frame is 7E, a 15-byte header, the (escaped) parameter and a closing 7E.
// Every multi-byte number in it is big-endian. locateFrame finds where a
// frame begins and ends in bytes read from the port.
#pragma once

#include <cstddef>

namespace CnsFrame {

constexpr unsigned char kFlag = 0x7E;
constexpr unsigned char kEscape = 0x7D;
constexpr unsigned char kEscapeXor = 0x20;

constexpr int kLengthOffset = 1;
constexpr int kMessageIdOffset = 3;
constexpr int kObjectIdOffset = 5;
constexpr int kOperationTypeOffset = 7;
constexpr int kApplicationIdOffset = 9;
constexpr int kParameterLengthOffset = 14;
constexpr int kParameterOffset = 15;

// Bytes 0..14: flag and header, never escaped; a reply shorter than this
// cannot be decoded.
constexpr std::size_t kHeaderSize = 15;
// A get request carries no parameter but a zero byte at offset 15, and its
// closing flag at offset 16.
constexpr int kGetRequestSize = 17;
constexpr int kGetClosingFlagOffset = 16;
// A set request carries a 2-byte parameter (escaped) and its closing flag.
constexpr int kSetParameterSize = 2;
constexpr int kSetRequestSize = 18;
// The length word counts from the object id to the end of the parameter.
constexpr unsigned short kLengthWithoutParameter = 10;

constexpr unsigned char kMessageId = 0x2B;
constexpr unsigned char kOperationGet = 1;
constexpr unsigned char kOperationSet = 3;
constexpr unsigned char kErrorBit = 0x80;

// Where the first frame lies in a run of bytes read from the port.
struct Location {
    std::size_t start;  // its opening flag; the bytes before it belong to no frame
    std::size_t end;    // one past its closing flag, or 0 while it is incomplete
    bool complete() const { return end != 0; }
};

// A frame starts at a flag; the 14 bytes after it are its header, taken as
// they are whatever they hold. It ends at the first flag after the header
// that is not the partner of an escape byte: a flag in the parameter is
// always sent escaped, and an escape byte takes the next byte, flag or not,
// as its partner, just as unescaping does. The declared lengths are not
// used: they stay unchecked, so a reply whose lengths are off still ends
// where its closing flag is. A flag right after an opening flag closes
// nothing and opens the frame anew (the tail of an earlier frame).
// `start` is `count` when the bytes hold no flag.
Location locateFrame(const unsigned char* bytes, std::size_t count);

}  // namespace CnsFrame
