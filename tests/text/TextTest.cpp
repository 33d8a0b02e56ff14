// The text owner: small files read whole, their words and lines read as the
// stream library reads them, and text written out in one piece per flush
// whatever the descriptor does (short writes, signals, a closed pipe).
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "card/Diagnostics.h"
#include "sim/Sandbox.h"
#include "support/Scanned.h"
#include "support/ScratchDir.h"
#include "text/TextFile.h"
#include "text/TextOut.h"
#include "text/TextScan.h"

namespace {

// ---- reading

struct FileCase {
    const char* name;
    // Makes what stands at `path`; returns what the reader must give.
    std::string (*make)(const std::string& path);
    bool followLink;
    bool opened;
    int errorNumber;
};

void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.name;
}

std::string bytesUpTo(std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += static_cast<char>(i * 7 % 256);  // NUL, newlines and bytes from 0x80 on
    }
    return text;
}

std::string written(const std::string& path, const std::string& text) {
    writeFileText(path, text);
    return text;
}

// `path` a symbolic link to a file of `text`; what a reader that follows it gets.
std::string linked(const std::string& path, const std::string& text) {
    written(path + ".target", text);
    EXPECT_EQ(::symlink((path + ".target").c_str(), path.c_str()), 0);
    return text;
}

const FileCase kFileCases[] = {
    {"empty", [](const std::string& p) { return written(p, ""); }, true, true, 0},
    {"missing", [](const std::string&) { return std::string(); }, true, false, ENOENT},
    {"last line without a newline", [](const std::string& p) { return written(p, "-75\n1"); }, true,
     true, 0},
    {"any bytes, over many reads",
     [](const std::string& p) { return written(p, bytesUpTo(10000)); }, true, true, 0},
    {"cut at the limit",
     [](const std::string& p) {
         return written(p, bytesUpTo(Text::kFileLimit + 100)).substr(0, Text::kFileLimit);
     },
     true, true, 0},
    {"symbolic link, not followed",
     [](const std::string& p) {
         linked(p, "secret\n");
         return std::string();  // nothing read through it
     },
     false, false, ELOOP},
    {"symbolic link, followed", [](const std::string& p) { return linked(p, "1\n"); }, true, true,
     0},
    {"FIFO without a writer, never waited on",
     [](const std::string& p) {
         EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
         return std::string();
     },
     true, true, 0},
    {"directory",
     [](const std::string& p) {
         EXPECT_EQ(::mkdir(p.c_str(), 0700), 0);
         return std::string();
     },
     true, true, EISDIR},
};

class TextFileTest : public testing::TestWithParam<FileCase> {};

TEST_P(TextFileTest, ReadsWholeOrSaysWhy) {
    const ScratchDir scratch;
    const std::string path = scratch.path + "/file";
    const std::string expected = GetParam().make(path);
    const Text::FileText file = Text::readFile(path, GetParam().followLink);
    EXPECT_EQ(file.text, expected);
    EXPECT_EQ(file.opened, GetParam().opened);
    EXPECT_EQ(file.errorNumber, GetParam().errorNumber);
    EXPECT_EQ(file.error, GetParam().errorNumber == 0 ? "" : std::strerror(GetParam().errorNumber));
}

INSTANTIATE_TEST_SUITE_P(Files, TextFileTest, testing::ValuesIn(kFileCases));

TEST(TextFileTest, KeepsWhatCameBeforeAFailedRead) {
    // A FIFO whose writer is still there but silent: the reader takes what
    // is in and does not wait for more.
    const ScratchDir scratch;
    const std::string path = scratch.path + "/fifo";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(path.c_str(), O_WRONLY);
    ASSERT_EQ(::write(writer, "0: product:0028\n", 16), 16);
    const Text::FileText file = Text::readFile(path);
    EXPECT_EQ(file.text, "0: product:0028\n");
    EXPECT_EQ(file.errorNumber, EAGAIN);
    ::close(writer);
    ::close(reader);
}

TEST(TextFileTest, ProcFileOfNoSizeIsReadWhole) {
    std::ifstream stream("/proc/self/mounts");
    const std::string expected{std::istreambuf_iterator<char>(stream), {}};
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(Text::readFile("/proc/self/mounts").text, expected);
}

// ---- words and lines

struct ScanCase {
    const char* name;
    std::string text;
    std::vector<std::string> words;
    std::vector<std::string> lines;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

const ScanCase kScanCases[] = {
    {"empty", "", {}, {}},
    {"only a newline", "\n", {}, {""}},
    {"blank lines kept as lines", "a\n\nb\n", {"a", "b"}, {"a", "", "b"}},
    {"last line without a newline", "1: x\n2: y", {"1:", "x", "2:", "y"}, {"1: x", "2: y"}},
    {"every C-locale space separates",
     " a\tb\vc\fd\re\n",
     {"a", "b", "c", "d", "e"},
     {" a\tb\vc\fd\re"}},
    {"carriage return stays in its line", "x\r\n", {"x"}, {"x\r"}},
    {"NUL and high bytes are word bytes",
     std::string("a\0b \x85\xA0 \xFF", 8),
     {std::string("a\0b", 3), "\x85\xA0", "\xFF"},
     {std::string("a\0b \x85\xA0 \xFF", 8)}},
    {"only whitespace", " \t \n ", {}, {" \t ", " "}},
};

class TextScanTest : public testing::TestWithParam<ScanCase> {};

TEST_P(TextScanTest, WordsAndLinesAsTheStreamReadsThem) {
    EXPECT_EQ(readAll(Text::Tokens(GetParam().text)), GetParam().words);
    EXPECT_EQ(readAll(Text::Lines(GetParam().text)), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Texts, TextScanTest, testing::ValuesIn(kScanCases));

// ---- writing

// Each write() on a sequenced-packet socket arrives as one message.
struct Messages {
    Messages() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends), 0); }
    ~Messages() {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    std::vector<std::string> received() const {
        std::vector<std::string> messages;
        char buffer[256];
        for (ssize_t n; (n = ::recv(ends[0], buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
            messages.emplace_back(buffer, static_cast<std::size_t>(n));
        }
        return messages;
    }
    int ends[2];
};

// A descriptor gets each flush in one write, also a diagnostic line on
// standard error; a string gets everything, flushed or not.
TEST(TextOutTest, EachFlushIsOneWrite) {
    const Messages messages;
    Text::FdOut out(messages.ends[1]);
    out << "quorvexcard: " << 42 << ' ' << std::string("ports") << Text::endl;
    out << "held";
    EXPECT_EQ(messages.received(), std::vector<std::string>{"quorvexcard: 42 ports\n"});
    Diagnostics::toOut(&out, "No data was returned by query.", 0);
    EXPECT_EQ(messages.received(),
              std::vector<std::string>{"heldNo data was returned by query.\n"});

    const int savedError = ::dup(STDERR_FILENO);
    ::dup2(messages.ends[1], STDERR_FILENO);
    Diagnostics::reportLine("Port /dev/ttyUSB1 is in use by another program.");
    ::dup2(savedError, STDERR_FILENO);
    ::close(savedError);
    EXPECT_EQ(messages.received(),
              std::vector<std::string>{"Port /dev/ttyUSB1 is in use by another program.\n"});

    Text::StringOut text;
    text << "a" << Text::endl << -1 << 'b';
    EXPECT_EQ(text.str(), "a\n-1b");
    EXPECT_EQ(text.descriptor(), -1);
}

extern "C" void interrupt(int) {}

TEST(TextOutTest, InterruptedAndShortWritesLoseNothing) {
    // A slow reader and a timer that interrupts every millisecond: write()
    // returns early or fails with EINTR again and again.
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    struct sigaction action {};
    action.sa_handler = interrupt;  // no SA_RESTART
    ::sigaction(SIGALRM, &action, nullptr);
    const itimerval every{{0, 1000}, {0, 1000}};
    ::setitimer(ITIMER_REAL, &every, nullptr);
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
            if (n > 0) {
                received.append(buffer, static_cast<std::size_t>(n));
                ::usleep(50);
            }
        }
    });
    const std::string text = bytesUpTo(1 << 20);
    EXPECT_TRUE(Text::writeAll(pipeEnds[1], text.data(), text.size()));
    const itimerval stop{};
    ::setitimer(ITIMER_REAL, &stop, nullptr);
    // Ignored from now on rather than put back: a tick already on its way
    // (valgrind delivers signals late) must not end the test process.
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGALRM, &action, nullptr);
    ::close(pipeEnds[1]);
    reader.join();
    ::close(pipeEnds[0]);
    EXPECT_TRUE(received == text) << received.size() << " of " << text.size() << " bytes";
}

TEST(TextOutTest, FailedWriteIsKeptAndLaterTextDropped) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);
    {
        Text::FdOut out(pipeEnds[1]);
        out << "sample" << Text::flush;
        EXPECT_TRUE(out.failed());
        EXPECT_EQ(out.error(), EPIPE) << "a closed pipe (| head)";
        out << "more" << Text::endl;
        EXPECT_EQ(out.error(), EPIPE) << "the first failure is kept";
    }
    ::sigaction(SIGPIPE, &previous, nullptr);
    ::close(pipeEnds[1]);

    Text::FdOut closed(pipeEnds[1]);
    EXPECT_TRUE(closed.flush()) << "nothing held: nothing to fail";
    closed << "x" << Text::flush;
    EXPECT_EQ(closed.error(), EBADF);
}

// ---- numbers

template <typename T>
std::string shown(T value) {
    Text::StringOut out;
    out << value;
    return out.str();
}

TEST(TextNumbersTest, EveryIntegerTypeAtItsEdges) {
    EXPECT_EQ(shown(static_cast<short>(-32768)), "-32768");
    EXPECT_EQ(shown(static_cast<unsigned short>(65535)), "65535");
    EXPECT_EQ(shown(static_cast<std::int32_t>(INT32_MIN)), "-2147483648");
    EXPECT_EQ(shown(static_cast<std::uint32_t>(UINT32_MAX)), "4294967295");
    EXPECT_EQ(shown(static_cast<std::int64_t>(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(shown(static_cast<std::uint64_t>(UINT64_MAX)), "18446744073709551615");
    EXPECT_EQ(shown(LONG_MIN), sizeof(long) == 8 ? "-9223372036854775808" : "-2147483648");
    EXPECT_EQ(shown(0UL), "0");
    EXPECT_EQ(shown(-0), "0");
}

TEST(TextNumbersTest, FixedDecimalsWithoutTheLocale) {
    EXPECT_EQ(Text::fixed(0.1726, 3), "0.173");
    EXPECT_EQ(Text::fixed(-90.04, 1), "-90.0");
    EXPECT_EQ(Text::fixed(1234.5678, 0), "1235");
    EXPECT_EQ(Text::fixed(1e300, 0).size(), 301u) << "never cut short";
}

}  // namespace
