// Text going out, without the stream library: to a descriptor (FdOut) or a
// string (StringOut).
//
// Text is held until a flush (Text::endl, Text::flush, or an FdOut's end)
// and then handed on in one piece, so that a line written with one flush
// reaches its reader in one write() and never interleaves with another
// process's lines. A failed write is not thrown: the first failure's errno
// is kept (a closed pipe shows as EPIPE) and later text is dropped.
// Integers are formatted by std::to_chars, never through a locale.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <type_traits>

namespace Text {

// Writes all `count` bytes, going on after an interrupted or short write;
// false with errno set when a write fails.
bool writeAll(int fd, const char* bytes, std::size_t count);

// `value` with `decimals` digits after the point ("-91.2"), as printf's %.*f
// gives it in the C locale.
std::string fixed(double value, int decimals);

template <typename T>
constexpr bool kIsNumber =
    std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
    !std::is_same_v<T, signed char> && !std::is_same_v<T, unsigned char>;

class Out {
public:
    Out() = default;
    virtual ~Out() = default;
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    Out& append(const char* bytes, std::size_t count);
    Out& operator<<(const std::string& text) { return append(text.data(), text.size()); }
    Out& operator<<(const char* text);
    Out& operator<<(char c) { return append(&c, 1); }
    template <typename T, std::enable_if_t<kIsNumber<T>, int> = 0>
    Out& operator<<(T value) {
        char digits[24];  // any 64-bit integer with its sign
        const char* const end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        return append(digits, static_cast<std::size_t>(end - digits));
    }
    Out& operator<<(Out& (*manipulator)(Out&)) { return manipulator(*this); }

    // Hands the held text on in one piece; false once a write has failed.
    bool flush();
    bool failed() const { return failure != 0; }
    // The errno of the first failed write; 0 while none has failed.
    int error() const { return failure; }
    // The descriptor written to, or -1 when the text goes to a string.
    virtual int descriptor() const { return -1; }

protected:
    // Takes all `count` bytes, or fails with errno set.
    virtual bool put(const char* bytes, std::size_t count) = 0;

private:
    std::string held;
    int failure = 0;
};

// A newline, then flush.
Out& endl(Out& out);
Out& flush(Out& out);

class FdOut final : public Out {
public:
    explicit FdOut(int fd) : fd(fd) {}
    ~FdOut() override { flush(); }
    FdOut(const FdOut&) = delete;
    FdOut& operator=(const FdOut&) = delete;

    int descriptor() const override { return fd; }

private:
    bool put(const char* bytes, std::size_t count) override { return writeAll(fd, bytes, count); }

    const int fd;
};

class StringOut final : public Out {
public:
    // Everything written so far, flushed or not.
    const std::string& str() {
        flush();
        return text;
    }

private:
    bool put(const char* bytes, std::size_t count) override {
        text.append(bytes, count);
        return true;
    }

    std::string text;
};

}  // namespace Text
