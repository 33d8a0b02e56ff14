#include "cns/CnsPacketData.h"

#include <utility>

#include "cns/CnsErrors.h"
#include "cns/CnsFrame.h"

using namespace CnsFrame;

void CnsPacketData::populateCnsPacket(std::vector<unsigned char> frame, CnsPacketData& out) {
    if (frame.size() < kHeaderSize) {
        throw CnsErrors::UNUSABLE_REPLY;
    }
    const unsigned char* bytes = frame.data();
    out.setApplicationId(0);
    out.setLengthOfCnsPacketWithParameterLength(
        CnsOperations::get16BigEndian(bytes + kLengthOffset));
    out.setMessageId(bytes[kMessageIdOffset]);
    out.setCnsObjectId(CnsOperations::get16BigEndian(bytes + kObjectIdOffset));
    // Only the low byte of the parameter length and of the application id is
    // read.
    out.setLengthOfCnsParameter(bytes[kParameterLengthOffset]);
    out.setOperationType(bytes[kOperationTypeOffset]);
    out.setApplicationId(bytes[kApplicationIdOffset]);
    out.setPacketData(std::move(frame));
}

void CnsPacketData::populateCnsPacket(const unsigned char* bytes, unsigned int count,
                                      CnsPacketData& out) {
    populateCnsPacket(std::vector<unsigned char>(bytes, bytes + count), out);
}

bool CnsPacketData::isError() const {
    return operations.isError(operationType);
}

void CnsPacketData::setLengthOfCnsPacketWithParameterLength(unsigned short value) {
    lengthOfCnsPacketWithParameterLength = value;
}

void CnsPacketData::setMessageId(unsigned char value) {
    messageId = value;
}

void CnsPacketData::setCnsObjectId(unsigned short value) {
    cnsObjectId = value;
}

void CnsPacketData::setOperationType(unsigned char value) {
    operationType = value;
}

void CnsPacketData::setApplicationId(unsigned int value) {
    applicationId = value;
}

void CnsPacketData::setLengthOfCnsParameter(unsigned short value) {
    lengthOfCnsParameter = value;
}

void CnsPacketData::setPacketData(std::vector<unsigned char> bytes) {
    packetData.clear();
    packetData.insert(packetData.end(), bytes.begin(), bytes.end());
}
