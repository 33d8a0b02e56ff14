#include "text/TextScan.h"

#include <algorithm>

namespace Text {

namespace {

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool Tokens::next(std::string& token) {
    while (at < text.size() && isSpace(text[at])) {
        ++at;
    }
    const std::size_t start = at;
    while (at < text.size() && !isSpace(text[at])) {
        ++at;
    }
    token.assign(text.substr(start, at - start));
    return at > start;
}

bool Lines::next(std::string& line) {
    if (at >= text.size()) {
        return false;
    }
    const std::size_t end = std::min(text.find('\n', at), text.size());
    line.assign(text.substr(at, end - at));
    at = end + 1;
    return true;
}

}  // namespace Text
