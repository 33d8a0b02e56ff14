// Everything a reader of the text owner (Text::Tokens, Text::Lines) gives,
// in order.
#pragma once

#include <string>
#include <vector>

template <typename Reader>
std::vector<std::string> readAll(Reader reader) {
    std::vector<std::string> items;
    for (std::string item; reader.next(item);) {
        items.push_back(item);
    }
    return items;
}
