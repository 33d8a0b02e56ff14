#include "metrics/MetricsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/Sandbox.h"

namespace {

class MetricsFileTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/metrics-file-test.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr) << std::strerror(errno);
        dir = pattern;
        path = dir + "/metrics";
    }
    void TearDown() override { ASSERT_EQ(std::system(("rm -rf " + dir).c_str()), 0); }

    // Opens `path`, returning whether it opened and what went to standard error.
    bool openReporting(MetricsFile& metrics, std::string& errors) const {
        testing::internal::CaptureStderr();
        const bool opened = metrics.open(path.c_str());
        errors = testing::internal::GetCapturedStderr();
        return opened;
    }

    std::string dir;
    std::string path;
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

TEST_F(MetricsFileTest, SymbolicLinkIsNeitherFollowedNorReplaced) {
    const std::string target = dir + "/precious";
    writeFileText(target, "keep me\n");
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    MetricsFile metrics;
    std::string errors;
    EXPECT_FALSE(openReporting(metrics, errors));
    EXPECT_EQ(readFileText(target), "keep me\n");
    EXPECT_EQ(errors,
              "Error opening metrics file " + path + ": Too many levels of symbolic links\n");
    struct stat status;
    ASSERT_EQ(::lstat(path.c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
}

TEST_F(MetricsFileTest, DanglingSymbolicLinkCreatesNothing) {
    const std::string target = dir + "/created-through-link";
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    MetricsFile metrics;
    std::string errors;
    EXPECT_FALSE(openReporting(metrics, errors));
    EXPECT_NE(::access(target.c_str(), F_OK), 0);
}

TEST_F(MetricsFileTest, HardLinkedFileIsLeftAlone) {
    const std::string other = dir + "/other-name";
    writeFileText(other, "keep me\n");
    ASSERT_EQ(::link(other.c_str(), path.c_str()), 0);
    MetricsFile metrics;
    std::string errors;
    EXPECT_FALSE(openReporting(metrics, errors));
    EXPECT_EQ(readFileText(other), "keep me\n");
    EXPECT_EQ(errors, "Error opening metrics file " + path + ": Operation not permitted\n");
}

TEST_F(MetricsFileTest, FifoNeitherBlocksNorOpens) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    MetricsFile metrics;
    std::string errors;
    EXPECT_FALSE(openReporting(metrics, errors));  // returns at once: no reader needed
    EXPECT_FALSE(errors.empty());
}

TEST_F(MetricsFileTest, DirectoryIsRefused) {
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    MetricsFile metrics;
    std::string errors;
    EXPECT_FALSE(openReporting(metrics, errors));
    EXPECT_EQ(errors, "Error opening metrics file " + path + ": Is a directory\n");
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

}  // namespace
