// The exposition read by the parser fleets use: the real quorvexcard writes
// it with --output into the textfile directory of a real node_exporter
// (Debian's prometheus-node-exporter) on a loopback port of its own, and a
// scrape of /metrics must carry every metric with its value and no error.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "sim/ChildProcess.h"
#include "sim/NodeExporter.h"
#include "sim/Sandbox.h"
#include "support/ScratchDir.h"
#include "support/ScriptedModem.h"

namespace {

using namespace std::chrono_literals;

class NodeExporterTest : public testing::TestWithParam<ScriptedCase> {};

TEST_P(NodeExporterTest, ServesEveryMetricWithItsValue) {
    // A cross build runs the test under an emulator, node_exporter on the host.
    const std::string unavailable =
        QUORVEX_CROSS_BUILD ? "a cross build" : NodeExporter::unavailableReason();
    if (!unavailable.empty()) {
        GTEST_SKIP() << unavailable;
    }
    SimulatedModem modem;
    answerScriptedState(modem);
    GetParam().script(modem);
    const ScratchDir scratch;
    const std::string textfiles = scratch.path + "/textfiles";
    const std::string log = scratch.path + "/log";
    std::filesystem::create_directory(textfiles);
    const std::string file = textfiles + "/quorvex.prom";
    ChildProcess tool(
        {QUORVEX_CARDTOOL_PATH, "--device", modem.devicePath(), "--prometheus", "--output", file},
        log);
    EXPECT_EQ(tool.exitStatus(10s), GetParam().status) << readFileText(log);
    const std::string written = readFileText(file);
    const std::string expected =
        scriptedExposition(modem.devicePath(), collectionSeconds(written), GetParam().change);
    ASSERT_EQ(written, expected);

    const NodeExporter exporter(textfiles, log);
    ASSERT_TRUE(exporter.isReady()) << readFileText(log);
    const std::string reply = exporter.metrics();
    ASSERT_EQ(reply.rfind("HTTP/1.", 0), 0u) << reply;
    EXPECT_NE(reply.find(" 200 "), std::string::npos) << reply.substr(0, reply.find('\n'));
    const std::string body = '\n' + reply.substr(reply.find("\r\n\r\n") + 4);
    EXPECT_NE(body.find("\nnode_textfile_scrape_error 0\n"), std::string::npos) << body;
    int samples = 0;
    std::istringstream lines(expected);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_NE(body.find('\n' + line + '\n'), std::string::npos) << line;
        samples += line.rfind("quorvex_", 0) == 0;
    }
    int served = 0;
    for (std::size_t at = 0; (at = body.find("\nquorvex_", at)) != std::string::npos; ++at) {
        ++served;
    }
    EXPECT_EQ(served, samples) << body;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeExporterTest,
    testing::Values(ScriptedCase{"EveryQueryAnswered", [](SimulatedModem&) {}, {}, 0},
                    ScriptedCase{"HdrServiceStateMute", muteHdrServiceState, kHdrServiceStateMuted,
                                 1}),
    [](const testing::TestParamInfo<ScriptedCase>& info) { return info.param.name; });

}  // namespace
