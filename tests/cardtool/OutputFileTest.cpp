// quorvexcard --output: the file is replaced whole or not at all, what the
// probe refuses at its metrics path (both follow metrics/PlainFile) is
// refused by both writers and left as it is, and no temporary file stays
// behind.
#include "cardtool/OutputFile.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "metrics/MetricsFile.h"
#include "sim/Sandbox.h"
#include "support/ScratchDir.h"
#include "support/ScriptedModem.h"
#include "support/ToolRun.h"

namespace {

class OutputFileTest : public testing::Test {
protected:
    // The names in the directory: a temporary file left behind shows here.
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            names.insert(entry.path().filename());
        }
        return names;
    }

    const ScratchDir scratch;
    const std::string dir = scratch.path;
    const std::string path = dir + "/quorvex.prom";
};

TEST_F(OutputFileTest, ReplacesTheFileWholeWithItsModeWhateverTheUmask) {
    writeFileText(path, "older and longer content\n");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    const mode_t umask = ::umask(077);
    const std::string failure = CardTool::replaceFile(path, "new\n");
    ::umask(umask);
    EXPECT_EQ(failure, "");
    EXPECT_EQ(readFileText(path), "new\n");
    struct stat status;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
    EXPECT_EQ(entries(), std::set<std::string>{"quorvex.prom"});
}

TEST_F(OutputFileTest, FailedWriteKeepsTheOldFileAndNoTemporaryOne) {
    writeFileText(path, "old\n");
    // A file size limit makes the write fail part way (EFBIG once ignored).
    struct rlimit before;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit small = before;
    small.rlim_cur = 8;
    const sighandler_t handler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string failure = CardTool::replaceFile(path, std::string(4096, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, handler);
    EXPECT_EQ(failure, std::strerror(EFBIG));
    EXPECT_EQ(readFileText(path), "old\n");
    EXPECT_EQ(entries(), std::set<std::string>{"quorvex.prom"});
    EXPECT_EQ(CardTool::replaceFile(dir + "/missing/quorvex.prom", "new\n"), std::strerror(ENOENT));
}

ToolRun runOnModem(const SimulatedModem& modem, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--device", modem.devicePath()});
    return runTool(arguments);
}

struct Refusal {
    const char* name;
    std::function<int(const std::string& other, const std::string& path)> make;
    int reason;         // the tool's --output's
    int metricsReason;  // MetricsFile::open's; 0: any
};

void PrintTo(const Refusal& c, std::ostream* os) {
    *os << c.name;
}

class OutputRefusalTest : public OutputFileTest, public testing::WithParamInterface<Refusal> {};

// Neither writer writes through what stands at the path, nor creates
// anything behind it, and it stays; the tool says why and fails.
TEST_P(OutputRefusalTest, LeftAsItIsByBothWriters) {
    SimulatedModem modem;
    answerScriptedState(modem);
    const std::string other = dir + "/precious";
    writeFileText(other, "keep me\n");
    ASSERT_EQ(GetParam().make(other, path), 0) << std::strerror(errno);
    struct stat before, after;
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);
    const std::set<std::string> names = entries();
    const ToolRun tool = runOnModem(modem, {"--prometheus", "--output", path});
    EXPECT_EQ(tool.status, CardTool::kOutputFailed);
    EXPECT_EQ(tool.out, "");
    EXPECT_EQ(tool.err,
              "quorvexcard: cannot write " + path + ": " + std::strerror(GetParam().reason) + "\n");
    MetricsFile metrics;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(metrics.open(path.c_str()));
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string prefix = "Error opening metrics file " + path + ": ";
    EXPECT_EQ(errors.rfind(prefix, 0), 0u) << errors;
    if (GetParam().metricsReason != 0) {
        EXPECT_EQ(errors, prefix + std::strerror(GetParam().metricsReason) + "\n");
    }
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(readFileText(other), "keep me\n");
    EXPECT_EQ(entries(), names);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OutputRefusalTest,
    testing::Values(
        Refusal{"SymbolicLink",
                [](const std::string& o, const std::string& p) {
                    return ::symlink(o.c_str(), p.c_str());
                },
                ELOOP, ELOOP},
        Refusal{"DanglingSymbolicLink",
                [](const std::string& o, const std::string& p) {
                    return ::symlink((o + ".none").c_str(), p.c_str());
                },
                ELOOP, 0},
        Refusal{
            "HardLink",
            [](const std::string& o, const std::string& p) { return ::link(o.c_str(), p.c_str()); },
            EPERM, EPERM},
        Refusal{"Fifo",
                [](const std::string&, const std::string& p) { return ::mkfifo(p.c_str(), 0644); },
                EPERM, 0},
        Refusal{"Directory",
                [](const std::string&, const std::string& p) { return ::mkdir(p.c_str(), 0755); },
                EISDIR, EISDIR}),
    [](const testing::TestParamInfo<Refusal>& info) { return info.param.name; });

// A reader reading the path over and over while the tool rewrites it, and
// then while large files of two sizes replace each other, finds one of the
// whole files each time: never an empty, cut or mixed one.
TEST_F(OutputFileTest, ReaderNeverSeesPartOfAFile) {
    SimulatedModem modem;
    answerScriptedState(modem);
    std::set<std::string> whole;
    const auto rewrite = [&](int round) {  // the JSON line, then the labelled lines
        return round % 2 == 0 ? runOnModem(modem, {"--json", "--output", path})
                              : runOnModem(modem, {"--output", path});
    };
    for (int round = 0; round < 2; ++round) {
        const ToolRun tool = rewrite(round);
        ASSERT_EQ(tool.status, 0) << tool.err;
        EXPECT_EQ(tool.out, "");
        whole.insert(readFileText(path));
    }
    const std::string large(256 * 1024, 'a');
    const std::string larger(384 * 1024, 'b');
    whole.insert(large);
    whole.insert(larger);

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::atomic<int> partial{0};
    std::thread reader([&] {
        while (!done) {
            partial += whole.count(readFileText(path)) == 0;
            ++reads;
        }
    });
    constexpr int kToolRounds = 12;
    for (int round = 0; round < kToolRounds; ++round) {
        EXPECT_EQ(rewrite(round).status, 0);
    }
    constexpr int kFileRounds = 200;
    for (int round = 0; round < kFileRounds; ++round) {
        EXPECT_EQ(CardTool::replaceFile(path, round % 2 == 0 ? large : larger), "");
    }
    done = true;
    reader.join();
    EXPECT_EQ(partial, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, kToolRounds);
    EXPECT_EQ(entries(), std::set<std::string>{"quorvex.prom"});
}

}  // namespace
