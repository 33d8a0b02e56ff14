// The card's last reply: unescaping it into the query result, decoding its
// header, and reading values from it without ever reading past it. A reply
// that cannot serve is reported (on standard error unless `report` says
// otherwise) and thrown as CnsErrors::UNUSABLE_REPLY.
#pragma once

#include <cstddef>
#include <vector>

#include "card/Diagnostics.h"
#include "cns/CnsPacketData.h"

namespace CardReply {

// Appends the `count` bytes of a reply, unescaped, to `queryResult`.
void unescape(const unsigned char* bytes, std::size_t count,
              std::vector<unsigned char>& queryResult, const Diagnostics::Reporter& report = {});
// Decodes the header of the unescaped reply into `header`.
void decode(const std::vector<unsigned char>& queryResult, CnsPacketData& header,
            const Diagnostics::Reporter& report = {});

unsigned char byteAt(const std::vector<unsigned char>& queryResult, int offset,
                     const Diagnostics::Reporter& report = {});
// Big-endian numbers from `offset` on.
unsigned short value16(const std::vector<unsigned char>& queryResult, int offset,
                       const Diagnostics::Reporter& report = {});
unsigned int value32(const std::vector<unsigned char>& queryResult, int offset,
                     const Diagnostics::Reporter& report = {});
// value16 from the reply's parameter only: the closing flag, the reply's
// last byte, is no part of a value.
unsigned short parameterValue16(const std::vector<unsigned char>& queryResult, int offset,
                                const Diagnostics::Reporter& report = {});

}  // namespace CardReply
