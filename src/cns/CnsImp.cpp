#include "cns/CnsImp.h"

#include <cstddef>
#include <memory>

#include "cns/CnsErrors.h"
#include "cns/CnsFrame.h"
#include "cns/CnsObjects.h"
#include "cns/CnsOperations.h"

using namespace CnsFrame;

CnsImp::CnsImp()
    : messageId(kMessageId),
      cnsObjectId(CnsObjects::OBJ_SERVICE_INDICATION),
      operationType(kOperationGet) {}

void CnsImp::setCnsObjectForGet(unsigned short object) {
    operationType = kOperationGet;
    cnsObjectId = object;
}

void CnsImp::setCnsObjectForSet(unsigned short object) {
    operationType = kOperationSet;
    cnsObjectId = object;
}

unsigned char* CnsImp::getCnsDataForQuery(int& size) const {
    auto frame = std::make_unique<unsigned char[]>(kGetRequestSize);  // zero-filled
    setDefaultValues(frame.get(), kGetRequestSize);
    size = kGetRequestSize;
    return frame.release();
}

void CnsImp::setDefaultValues(unsigned char* frame, int size) const {
    // The closing flag sits at offset 16; a smaller frame has no room for it.
    if (size < kGetRequestSize) {
        return;
    }
    writeHeader(frame, kLengthWithoutParameter);
    frame[kGetClosingFlagOffset] = kFlag;
}

void CnsImp::writeHeader(unsigned char* frame, unsigned short lengthWord) const {
    frame[0] = kFlag;
    put16IntoBuffer_BigEnd(lengthWord, frame, kLengthOffset);
    frame[kMessageIdOffset] = messageId;
    put16IntoBuffer_BigEnd(cnsObjectId, frame, kObjectIdOffset);
    frame[kOperationTypeOffset] = operationType;
}

void CnsImp::put16IntoBuffer_BigEnd(unsigned short value, unsigned char* buffer, int offset) const {
    buffer[offset] = static_cast<unsigned char>(value >> 8);
    buffer[offset + 1] = static_cast<unsigned char>(value & 0xFF);
}

void CnsImp::getCnsPacketWithCnsParameter(std::vector<unsigned char> reply,
                                          std::vector<unsigned char>& out) {
    std::size_t appended = 0;
    for (std::size_t i = 0; i < reply.size(); ++i, ++appended) {
        unsigned char value = reply[i];
        if (appended >= kHeaderSize && CnsOperations::isEscapeValue(value)) {
            if (++i == reply.size()) {
                throw CnsErrors::UNUSABLE_REPLY;  // the escaped byte never came
            }
            value = CnsOperations::getEscapedValue(reply[i]);
        }
        out.push_back(value);
    }
}

namespace {

bool needsEscape(unsigned char b) {
    return b == kFlag || b == kEscape;
}

}  // namespace

unsigned char* CnsImp::getCnsDataForSet(unsigned short value, int& size) {
    const unsigned char parameter[kSetParameterSize] = {static_cast<unsigned char>(value >> 8),
                                                        static_cast<unsigned char>(value & 0xFF)};
    const int escapes = needsEscape(parameter[0]) + needsEscape(parameter[1]);
    const int frameSize = kSetRequestSize + escapes;
    operationType = kOperationSet;
    auto frame = std::make_unique<unsigned char[]>(frameSize);  // zero-filled
    // Both length fields count the parameter unescaped.
    writeHeader(frame.get(), kLengthWithoutParameter + kSetParameterSize);
    frame[kParameterLengthOffset] = kSetParameterSize;
    int at = kParameterOffset;
    for (const unsigned char b : parameter) {
        if (needsEscape(b)) {
            frame[at++] = kEscape;
            frame[at++] = b ^ kEscapeXor;
        } else {
            frame[at++] = b;
        }
    }
    frame[at] = kFlag;
    size = frameSize;
    return frame.release();
}

std::vector<unsigned char> CnsImp::parseOutReturnBody(const unsigned char* frame,
                                                      unsigned int length) const {
    std::vector<unsigned char> body;
    if (length <= static_cast<unsigned int>(kParameterLengthOffset)) {
        return body;  // not even the parameter length is there
    }
    const std::size_t declared = frame[kParameterLengthOffset];
    for (unsigned int at = kParameterOffset;
         at < length && frame[at] != kFlag && body.size() < declared; ++at) {
        unsigned char value = frame[at];
        if (CnsOperations::isEscapeValue(value)) {
            if (++at == length) {
                break;  // the escaped byte never came
            }
            value = CnsOperations::getEscapedValue(frame[at]);
        }
        body.push_back(value);
    }
    return body;
}

std::vector<unsigned char> CnsImp::parseOutReturnBody(std::vector<unsigned char> frame) const {
    return parseOutReturnBody(frame.data(), static_cast<unsigned int>(frame.size()));
}
