// The metrics file's lines and its failures. What it refuses to open, it
// refuses as quorvexcard's --output does: tests/cardtool/OutputFileTest.cpp.
#include "metrics/MetricsFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

#include "metrics/MetricsRun.h"
#include "sim/Sandbox.h"
#include "support/ScratchDir.h"

namespace {

class MetricsFileTest : public testing::Test {
protected:
    const ScratchDir scratch;
    const std::string path = scratch.path + "/metrics";
};

// A new file, then the same opened again: its old lines are gone at the open.
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
    ASSERT_TRUE(metrics.open(path.c_str()));
    EXPECT_EQ(readFileText(path), "");
    EXPECT_TRUE(metrics.writeLine(1));
    EXPECT_TRUE(metrics.close());
    EXPECT_EQ(readFileText(path), "1\n");
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
