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
    frame[0] = kFlag;
    frame[kGetClosingFlagOffset] = kFlag;
    frame[kMessageIdOffset] = messageId;
    frame[kOperationTypeOffset] = operationType;
    put16IntoBuffer_BigEnd(kLengthWithoutParameter, frame, kLengthOffset);
    put16IntoBuffer_BigEnd(cnsObjectId, frame, kObjectIdOffset);
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
