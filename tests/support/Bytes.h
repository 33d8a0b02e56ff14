// Byte-array comparison that names the first byte that differs.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

testing::AssertionResult sameBytes(const Bytes& expected, const unsigned char* actual,
                                   std::size_t actualSize);
testing::AssertionResult sameBytes(const Bytes& expected, const Bytes& actual);

std::string hex(const Bytes& bytes);

// `head` followed by `tail`.
Bytes concat(const Bytes& head, const Bytes& tail);
