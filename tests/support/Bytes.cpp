#include "support/Bytes.h"

#include <algorithm>
#include <cstdio>

std::string hex(const Bytes& bytes) {
    std::string text;
    for (const unsigned char b : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", b);
        text += pair;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

testing::AssertionResult sameBytes(const Bytes& expected, const unsigned char* actual,
                                   std::size_t actualSize) {
    const Bytes got(actual, actual + actualSize);
    const std::size_t common = std::min(expected.size(), got.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (expected[i] != got[i]) {
            char detail[64];
            std::snprintf(detail, sizeof detail, "byte %zu differs: expected %02X, got %02X", i,
                          expected[i], got[i]);
            return testing::AssertionFailure()
                   << detail << "\n  expected: " << hex(expected) << "\n       got: " << hex(got);
        }
    }
    if (expected.size() != got.size()) {
        return testing::AssertionFailure()
               << "length differs: expected " << expected.size() << ", got " << got.size()
               << "\n  expected: " << hex(expected) << "\n       got: " << hex(got);
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult sameBytes(const Bytes& expected, const Bytes& actual) {
    return sameBytes(expected, actual.data(), actual.size());
}

Bytes concat(const Bytes& head, const Bytes& tail) {
    Bytes joined = head;
    joined.insert(joined.end(), tail.begin(), tail.end());
    return joined;
}
