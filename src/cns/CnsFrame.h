// Fixed positions and values of a Cns frame.
//
// A frame is 7E, a 15-byte header, the (escaped) parameter and a closing 7E.
// Every multi-byte number in it is big-endian. locateFrame finds where a
// frame begins and ends in bytes read from the port, and whether it is as
// long as its header says.
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
// The parameter length is a 16-bit word at offsets 13-14; the decode keeps
// its low byte alone.
constexpr int kParameterLengthWordOffset = 13;
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

// How the first frame in a run of bytes read from the port ends.
enum class Ending {
    Open,    // not yet: more bytes may complete it
    Closed,  // at its closing flag, as long as it says: a complete frame
    Torn,    // by a flag, but not as a whole frame: not a frame at all
};

// Where the first frame lies in a run of bytes read from the port.
struct Location {
    std::size_t start;  // its opening flag; the bytes before it belong to no frame
    std::size_t end;    // one past its last byte (a torn frame's last byte is the
                        // one before the flag that tore it); 0 while it is open
    Ending ending;
    bool complete() const { return ending == Ending::Closed; }
    std::size_t size() const { return end - start; }
};

// On the line 0x7E is only ever a flag: the modem escapes it in the
// parameter, and no header field of a real frame carries it. So every flag
// is a frame boundary, as on an HDLC-style link:
// - a frame starts at a flag, and the 14 bytes after it are its header,
//   taken as they are (an escape byte there is no escape);
// - a flag within those 14 bytes tears the frame: the modem broke it off
//   and the flag opens the next one;
// - in the parameter an escape byte takes the next byte as its partner,
//   but a flag right after an escape byte tears the frame too;
// - otherwise the frame ends at the first flag after its header. It is
//   complete, and takes that flag as its closing flag, only when it is as
//   long as it says: as many parameter bytes, unescaped, as its parameter
//   length (offsets 13-14) declares, or with none declared no parameter or
//   one zero byte; and a length word (offsets 1-2) of 10 plus that. Any
//   other frame lost bytes or took in others on the way (a line overrun
//   joins the head of one frame to the tail of another): it is torn, and
//   the flag opens the next frame.
// A flag right after a flag opens nothing (the idle line between frames):
// the second flag opens the frame. `start` is `count` when the bytes hold
// no flag.
Location locateFrame(const unsigned char* bytes, std::size_t count);

}  // namespace CnsFrame
