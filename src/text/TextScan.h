// Words and lines of a text, read as the stream library reads them, so that
// the rules for outside text (the driver list's tokens, a crontab's lines)
// do not change with the reader.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Text {

// Whitespace-separated words, as `istream >> std::string` reads them in the
// C locale: space, \t, \n, \v, \f and \r separate; every other byte (NUL,
// bytes from 0x80 on) belongs to a word.
class Tokens {
public:
    explicit Tokens(std::string_view text) : text(text) {}

    // The next word; false at the end of the text.
    bool next(std::string& token);

private:
    std::string_view text;
    std::size_t at = 0;
};

// Lines as std::getline reads them: each up to a '\n', which is dropped; a
// last line without one counts, and nothing follows a final newline.
class Lines {
public:
    explicit Lines(std::string_view text) : text(text) {}

    bool next(std::string& line);

private:
    std::string_view text;
    std::size_t at = 0;
};

}  // namespace Text
