#include "metrics/MetricsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "metrics/MetricsRun.h"
#include "sim/Sandbox.h"
#include "support/ScratchDir.h"

namespace {

class MetricsFileTest : public testing::Test {
protected:
    // Opens `path`, returning whether it opened and what went to standard error.
    bool openReporting(MetricsFile& metrics, std::string& errors) const {
        testing::internal::CaptureStderr();
        const bool opened = metrics.open(path.c_str());
        errors = testing::internal::GetCapturedStderr();
        return opened;
    }

    const ScratchDir scratch;
    const std::string dir = scratch.path;
    const std::string path = dir + "/metrics";
};

TEST_F(MetricsFileTest, WritesDecimalLines) {
    MetricsFile metrics;
    ASSERT_TRUE(metrics.open(path.c_str()));
    EXPECT_TRUE(metrics.writeLine(-75));
    EXPECT_EQ(readFileText(path), "-75\n") << "each line reaches the file at once";
    EXPECT_TRUE(metrics.writeLine(-32768));
    EXPECT_TRUE(metrics.writeLine(1));
    EXPECT_TRUE(metrics.close());
    EXPECT_EQ(readFileText(path), "-75\n-32768\n1\n");
    struct stat status;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST_F(MetricsFileTest, OldContentIsGoneAtOpen) {
    writeFileText(path, "-80\n0\nleftover from an older format\n");
    MetricsFile metrics;
    ASSERT_TRUE(metrics.open(path.c_str()));
    EXPECT_EQ(readFileText(path), "");
    EXPECT_TRUE(metrics.writeLine(1));
    EXPECT_TRUE(metrics.close());
    EXPECT_EQ(readFileText(path), "1\n");
}

// Nothing but a regular file of one link is opened, and what stands at the
// path, or behind it, is left as it was.
TEST_F(MetricsFileTest, PathThatIsNoPlainFileIsRefused) {
    const std::string other = dir + "/precious";
    const struct {
        const char* name;
        int (*make)(const std::string& other, const std::string& path);
        const char* reason;  // nullptr: any
    } cases[] = {
        {"symbolic link",
         [](const std::string& o, const std::string& p) {
             writeFileText(o, "keep me\n");
             return ::symlink(o.c_str(), p.c_str());
         },
         "Too many levels of symbolic links"},
        {"dangling symbolic link",
         [](const std::string& o, const std::string& p) { return ::symlink(o.c_str(), p.c_str()); },
         nullptr},
        {"hard link",
         [](const std::string& o, const std::string& p) {
             writeFileText(o, "keep me\n");
             return ::link(o.c_str(), p.c_str());
         },
         "Operation not permitted"},
        {"fifo without a reader",
         [](const std::string&, const std::string& p) { return ::mkfifo(p.c_str(), 0644); },
         nullptr},
        {"directory",
         [](const std::string&, const std::string& p) { return ::mkdir(p.c_str(), 0755); },
         "Is a directory"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(std::system(("rm -rf " + path + " " + other).c_str()), 0);
        ASSERT_EQ(c.make(other, path), 0) << c.name << ": " << std::strerror(errno);
        struct stat before, after;
        ASSERT_EQ(::lstat(path.c_str(), &before), 0);
        MetricsFile metrics;
        std::string errors;
        EXPECT_FALSE(openReporting(metrics, errors)) << c.name;
        const std::string prefix = "Error opening metrics file " + path + ": ";
        EXPECT_EQ(errors.rfind(prefix, 0), 0u) << c.name << ": " << errors;
        if (c.reason != nullptr) {
            EXPECT_EQ(errors, prefix + c.reason + "\n") << c.name;
        }
        ASSERT_EQ(::lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode) << c.name;
        EXPECT_EQ(after.st_ino, before.st_ino) << c.name;
        if (::access(other.c_str(), F_OK) == 0) {
            EXPECT_EQ(readFileText(other), "keep me\n") << c.name << ": nothing created or written";
        }
    }
}

TEST_F(MetricsFileTest, FailedWriteIsReported) {
    // A device that fails writes (/dev/full) is no regular file and is refused
    // at open, so the failure comes from writing after the file was closed.
    MetricsFile metrics;
    ASSERT_TRUE(metrics.open(path.c_str()));
    ASSERT_TRUE(metrics.close());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(metrics.writeLine(1));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error writing metrics file " + path + ": Bad file descriptor\n");
}

// quorvexcard --check calls a file "as a run writes it" only when each line
// is exactly what the writer produces.
TEST(MetricsLinesTest, OnlyTheWritersOwnLinesAreARunsFile) {
    const struct {
        const char* text;
        bool isRunsFile;
    } cases[] = {
        {"-75\n1\n", true},     {"1\n-1\n", true},       {"-32768\n32767\n", true},
        {"0\n0\n", true},       {"+75\n1\n", false},     {"075\n1\n", false},
        {" 75\n1\n", false},    {"-0\n1\n", false},      {"-75 \n1\n", false},
        {"-75\n1", false},      {"-75\n1\n\n", false},   {"-75\r\n1\r\n", false},
        {"-32769\n1\n", false}, {"-75\n65535\n", false}, {"99999999999999999999\n1\n", false},
        {"\n1\n", false},       {"-75\n", false},        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MetricsRun::readRunLines(c.text).has_value(), c.isRunsFile) << c.text;
    }
    const auto lines = MetricsRun::readRunLines("-75\n-1\n");
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->rssi, -75);
    EXPECT_EQ(lines->roaming, -1);
}

}  // namespace
