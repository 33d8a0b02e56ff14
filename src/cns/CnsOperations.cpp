#include "cns/CnsOperations.h"

#include "cns/CnsFrame.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// Operation codes by direction, searched in order.
constexpr short modemToHost[] = {2, 4, 6, 7, 9};
constexpr short hostToModems[] = {1, 3, 5, 8};

constexpr unsigned char kEscapedEscape = CnsFrame::kEscape ^ CnsFrame::kEscapeXor;
constexpr unsigned char kEscapedFlag = CnsFrame::kFlag ^ CnsFrame::kEscapeXor;
constexpr short kErrorBit = 0x80;

template <std::size_t N>
bool contains(const short (&table)[N], short operation) {
    return std::find(std::begin(table), std::end(table), operation) != std::end(table);
}

}  // namespace

bool CnsOperations::isEscapeValue(unsigned char b) {
    return b == CnsFrame::kEscape;
}

unsigned char CnsOperations::getEscapedValue(unsigned char b) {
    switch (b) {
        case kEscapedEscape:
            return CnsFrame::kEscape;
        case kEscapedFlag:
            return CnsFrame::kFlag;
        default:
            return 0x00;
    }
}

bool CnsOperations::isError(short operation) const {
    return ((operation >> 7) & 1) != 0;
}

short CnsOperations::operationFromError(const short& operation) const {
    return static_cast<short>(operation ^ kErrorBit);
}

bool CnsOperations::isModemTohost(const short& operation) const {
    return contains(modemToHost, operation);
}

bool CnsOperations::isHostToModem(const short& operation) const {
    return contains(hostToModems, operation);
}

unsigned short CnsOperations::get16fromBuffer(const unsigned char* p) {
    unsigned short value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

unsigned int CnsOperations::get32FromBuffer(const unsigned char* p) {
    unsigned int value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

unsigned short CnsOperations::get16fromChar(const unsigned char* p, int offset) {
    return get16fromBuffer(p + offset);
}

unsigned int CnsOperations::get32fromChar(const unsigned char* p, int offset) {
    return get32FromBuffer(p + offset);
}

unsigned short CnsOperations::endianSwap16(unsigned short value) {
    return static_cast<unsigned short>((value >> 8) | (value << 8));
}

unsigned int CnsOperations::endianSwap32(unsigned int value) {
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) |
           (value << 24);
}

bool CnsOperations::isLittleEndian() {
    const unsigned short one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

unsigned short CnsOperations::get16BigEndian(const unsigned char* p) {
    const unsigned short value = get16fromBuffer(p);
    return isLittleEndian() ? endianSwap16(value) : value;
}

unsigned int CnsOperations::get32BigEndian(const unsigned char* p) {
    const unsigned int value = get32FromBuffer(p);
    return isLittleEndian() ? endianSwap32(value) : value;
}
