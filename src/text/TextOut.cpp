#include "text/TextOut.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Text {

bool writeAll(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written == -1) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string fixed(double value, int decimals) {
    const int length = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    if (length < 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    text.pop_back();  // the terminator
    return text;
}

Out& Out::append(const char* bytes, std::size_t count) {
    if (failure == 0) {
        held.append(bytes, count);
    }
    return *this;
}

Out& Out::operator<<(const char* text) {
    return append(text, std::strlen(text));
}

bool Out::flush() {
    if (failure == 0 && !held.empty() && !put(held.data(), held.size())) {
        failure = errno != 0 ? errno : EIO;
    }
    held.clear();
    return failure == 0;
}

Out& endl(Out& out) {
    out << '\n';
    out.flush();
    return out;
}

Out& flush(Out& out) {
    out.flush();
    return out;
}

}  // namespace Text
