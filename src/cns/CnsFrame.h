// Fixed positions and values of a Cns frame.
//
// A frame is 7E, a 15-byte header, the (escaped) parameter and a closing 7E.
// Every multi-byte number in it is big-endian.
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

}  // namespace CnsFrame
