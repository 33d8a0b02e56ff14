#include "card/CardReply.h"

#include <cstdio>
#include <string>

#include "card/Diagnostics.h"
#include "cns/CnsErrors.h"
#include "cns/CnsImp.h"
#include "cns/CnsOperations.h"

namespace CardReply {

namespace {

// `count` bytes from `offset` on lie within the first `usable` bytes.
void require(const std::vector<unsigned char>& queryResult, std::size_t usable, int offset,
             std::size_t count, const Diagnostics::Reporter& report) {
    if (offset < 0 || usable < static_cast<std::size_t>(offset) + count) {
        char line[80];
        std::snprintf(line, sizeof line, "Reply of %zu bytes holds no value at offset %d.",
                      queryResult.size(), offset);
        report.line(line);
        throw CnsErrors::UNUSABLE_REPLY;
    }
}

void require(const std::vector<unsigned char>& queryResult, int offset, std::size_t count,
             const Diagnostics::Reporter& report) {
    require(queryResult, queryResult.size(), offset, count, report);
}

}  // namespace

void unescape(const unsigned char* bytes, std::size_t count,
              std::vector<unsigned char>& queryResult, const Diagnostics::Reporter& report) {
    try {
        CnsImp().getCnsPacketWithCnsParameter({bytes, bytes + count}, queryResult);
    } catch (const CnsErrors::ReturnErrors&) {
        report.line("Unusable reply of " + std::to_string(count) +
                    " bytes: cut inside an escape pair.");
        throw;
    }
}

void decode(const std::vector<unsigned char>& queryResult, CnsPacketData& header,
            const Diagnostics::Reporter& report) {
    try {
        CnsPacketData::populateCnsPacket(queryResult, header);
    } catch (const CnsErrors::ReturnErrors&) {
        report.line("Unusable reply of " + std::to_string(queryResult.size()) +
                    " bytes: shorter than its header.");
        throw;
    }
}

unsigned char byteAt(const std::vector<unsigned char>& queryResult, int offset,
                     const Diagnostics::Reporter& report) {
    require(queryResult, offset, 1, report);
    return queryResult[static_cast<std::size_t>(offset)];
}

unsigned short value16(const std::vector<unsigned char>& queryResult, int offset,
                       const Diagnostics::Reporter& report) {
    require(queryResult, offset, sizeof(unsigned short), report);
    return CnsOperations::get16BigEndian(queryResult.data() + offset);
}

unsigned int value32(const std::vector<unsigned char>& queryResult, int offset,
                     const Diagnostics::Reporter& report) {
    require(queryResult, offset, sizeof(unsigned int), report);
    return CnsOperations::get32BigEndian(queryResult.data() + offset);
}

unsigned short parameterValue16(const std::vector<unsigned char>& queryResult, int offset,
                                const Diagnostics::Reporter& report) {
    const std::size_t withoutClosingFlag = queryResult.empty() ? 0 : queryResult.size() - 1;
    require(queryResult, withoutClosingFlag, offset, sizeof(unsigned short), report);
    return CnsOperations::get16BigEndian(queryResult.data() + offset);
}

}  // namespace CardReply
