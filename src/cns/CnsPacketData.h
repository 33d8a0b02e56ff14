// The decoded header of a Cns reply, with a copy of the unescaped reply.
//
// The decode checks nothing but the length: message id, object id and
// lengths are stored whatever they hold. Whether a reply answers the request
// is judged only by the error bit of its operation type.
#pragma once

#include <vector>

#include "cns/CnsOperations.h"

class CnsPacketData {
public:
    CnsPacketData() = default;
    virtual ~CnsPacketData() = default;

    // Decodes an unescaped reply into `out`; throws CnsErrors::UNUSABLE_REPLY,
    // leaving `out` untouched, when the reply is shorter than its 15-byte header.
    static void populateCnsPacket(std::vector<unsigned char> frame, CnsPacketData& out);
    // The same for `count` raw bytes; they are not unescaped.
    static void populateCnsPacket(const unsigned char* bytes, unsigned int count,
                                  CnsPacketData& out);

    bool isError() const;

    void setLengthOfCnsPacketWithParameterLength(unsigned short value);
    void setMessageId(unsigned char value);
    void setCnsObjectId(unsigned short value);
    void setOperationType(unsigned char value);
    void setApplicationId(unsigned int value);
    void setLengthOfCnsParameter(unsigned short value);
    void setPacketData(std::vector<unsigned char> bytes);

    // Meaningful only after a decode.
    unsigned short lengthOfCnsPacketWithParameterLength = 0;
    unsigned char messageId = 0;
    unsigned short cnsObjectId = 0;
    unsigned char operationType = 0;
    unsigned int applicationId = 0;           // frame byte 9 alone
    unsigned short lengthOfCnsParameter = 0;  // frame byte 14 alone
    std::vector<unsigned char> packetData;
    CnsOperations operations;
};
