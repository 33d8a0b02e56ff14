// Stateless byte and operation-code helpers of the Cns codec.
//
// Numbers in a frame are big-endian. The loads below read in host order;
// get16BigEndian/get32BigEndian add the swap on little-endian hosts, so every
// decoded wire number is the same on any host.
#pragma once

class CnsOperations {
public:
    static bool isEscapeValue(unsigned char b);
    static unsigned char getEscapedValue(unsigned char b);

    bool isError(short operation) const;
    short operationFromError(const short& operation) const;
    bool isModemTohost(const short& operation) const;
    bool isHostToModem(const short& operation) const;

    static unsigned short get16fromBuffer(const unsigned char* p);
    static unsigned int get32FromBuffer(const unsigned char* p);
    static unsigned short get16fromChar(const unsigned char* p, int offset);
    static unsigned int get32fromChar(const unsigned char* p, int offset);

    static unsigned short endianSwap16(unsigned short value);
    static unsigned int endianSwap32(unsigned int value);
    static bool isLittleEndian();

    // The big-endian reading of p[0..1] / p[0..3], on any host.
    static unsigned short get16BigEndian(const unsigned char* p);
    static unsigned int get32BigEndian(const unsigned char* p);
};
