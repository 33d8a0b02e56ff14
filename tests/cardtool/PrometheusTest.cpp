// quorvexcard --prometheus in process against the simulated modem: the whole
// exposition for a full answer and for failed queries, the escaping of label
// values, and a port that is not there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "cardtool/PrometheusFormat.h"
#include "support/ScriptedModem.h"
#include "support/ToolRun.h"

namespace {

using namespace CnsObjects;

// The collection's duration, which a test cannot know, checked to be
// seconds and then replaced by S.
std::string withSecondsAsS(const std::string& text) {
    const std::string seconds = collectionSeconds(text);
    char* rest = nullptr;
    const double parsed = std::strtod(seconds.c_str(), &rest);
    EXPECT_TRUE(!seconds.empty() && *rest == '\0' && parsed >= 0 && parsed < 10) << seconds;
    std::string out = text;
    const std::size_t at = out.find("} " + seconds + '\n', out.find("quorvex_collection_duration"));
    return seconds.empty() ? out : out.replace(at + 2, seconds.size(), "S");
}

std::string success(const char* query, int value) {
    return "quorvex_query_success{port=\"P\",query=\"" + std::string(query) + "\"} " +
           std::to_string(value);
}

const std::pair<std::string, std::string> kNotUp = {"quorvex_up{port=\"P\"} 1",
                                                    "quorvex_up{port=\"P\"} 0"};

class PrometheusStateTest : public testing::TestWithParam<ScriptedCase> {};

TEST_P(PrometheusStateTest, WholeExposition) {
    SimulatedModem modem;
    answerScriptedState(modem);
    GetParam().script(modem);
    const ToolRun tool = runTool({"--device", modem.devicePath(), "--prometheus"});
    EXPECT_EQ(withSecondsAsS(tool.out),
              scriptedExposition(modem.devicePath(), "S", GetParam().change));
    EXPECT_EQ(tool.status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrometheusStateTest,
    testing::Values(
        ScriptedCase{"EveryQueryAnswered", [](SimulatedModem&) {}, {}, 0},
        ScriptedCase{
            "FlagsOffAndAnotherSignal",
            [](SimulatedModem& modem) {
                modem.answerValue(OBJ_MODEM_ACTIVATED, 0);
                modem.answerValue(OBJ_HDR_HYBRID_PREFERENCE, 0);
                modem.answer(OBJ_RSSI_ECIO_CDMA_HDR,
                             SimulatedModem::reply(OBJ_RSSI_ECIO_CDMA_HDR,
                                                   {0, 105, 0, 31, 0, 0, 0x01, 0x2C}));
            },
            {{{"quorvex_modem_activated{port=\"P\"} 1", "quorvex_modem_activated{port=\"P\"} 0"},
              {"quorvex_hybrid_mode{port=\"P\"} 1", "quorvex_hybrid_mode{port=\"P\"} 0"},
              {"quorvex_cdma_rssi_dbm{port=\"P\"} -90", "quorvex_cdma_rssi_dbm{port=\"P\"} -105"},
              {"quorvex_cdma_ecio{port=\"P\"} 8", "quorvex_cdma_ecio{port=\"P\"} 31"},
              {"quorvex_hdr_rssi_dbm{port=\"P\"} -80", "quorvex_hdr_rssi_dbm{port=\"P\"} 0"},
              {"quorvex_hdr_ecio{port=\"P\"} 4", "quorvex_hdr_ecio{port=\"P\"} 300"}},
             {}},
            0},
        ScriptedCase{"HdrServiceStateMute", muteHdrServiceState, kHdrServiceStateMuted, 1},
        ScriptedCase{"SignalErrorReply",
                     [](SimulatedModem& modem) {
                         modem.answer(OBJ_RSSI_ECIO_CDMA_HDR,
                                      SimulatedModem::errorReply(OBJ_RSSI_ECIO_CDMA_HDR,
                                                                 {0, 90, 0, 8, 0, 80, 0, 4}));
                     },
                     {{kNotUp,
                       {success("cdma_rssi", 1), success("cdma_rssi", 0)},
                       {success("cdma_ecio", 1), success("cdma_ecio", 0)},
                       {success("hdr_rssi", 1), success("hdr_rssi", 0)},
                       {success("hdr_ecio", 1), success("hdr_ecio", 0)}},
                      {"quorvex_cdma_rssi_dbm", "quorvex_cdma_ecio", "quorvex_hdr_rssi_dbm",
                       "quorvex_hdr_ecio"}},
                     1},
        // The model name is the type's name: both queries fail, and the info with them.
        ScriptedCase{
            "ModemTypeMute",
            [](SimulatedModem& modem) { modem.answer(OBJ_MODEM_TYPE, SimulatedModem::mute()); },
            {{kNotUp,
              {success("modem_type", 1), success("modem_type", 0)},
              {success("model_name", 1), success("model_name", 0)}},
             {"quorvex_modem_info"}},
            1}),
    [](const testing::TestParamInfo<ScriptedCase>& info) { return info.param.name; });

TEST(PrometheusFormatTest, LabelValuesAreEscaped) {
    const CardTool::CardState state = {
        {"modem_type", "Modem type", CardTool::Value{"6\"0", "60"}, ""},
        {"model_name", "Model name", CardTool::Value{"A\\B\nC", "\"A\""}, ""},
        {"band_class", "Band class", std::nullopt, "port busy"},
    };
    EXPECT_EQ(CardTool::formatPrometheus(state, "/dev/a\"b\\c\nd", 1.5),
              "# HELP quorvex_up 1 when the port opened and the modem answered every query.\n"
              "# TYPE quorvex_up gauge\n"
              "quorvex_up{port=\"/dev/a\\\"b\\\\c\\nd\"} 0\n"
              "# HELP quorvex_collection_duration_seconds How long the queries of the card's "
              "state took, in seconds.\n"
              "# TYPE quorvex_collection_duration_seconds gauge\n"
              "quorvex_collection_duration_seconds{port=\"/dev/a\\\"b\\\\c\\nd\"} 1.5\n"
              "# HELP quorvex_query_success 1 when the modem answered the query for the value "
              "named by query, else 0.\n"
              "# TYPE quorvex_query_success gauge\n"
              "quorvex_query_success{port=\"/dev/a\\\"b\\\\c\\nd\",query=\"modem_type\"} 1\n"
              "quorvex_query_success{port=\"/dev/a\\\"b\\\\c\\nd\",query=\"model_name\"} 1\n"
              "quorvex_query_success{port=\"/dev/a\\\"b\\\\c\\nd\",query=\"band_class\"} 0\n"
              "# HELP quorvex_modem_info The modem's model name and type code.\n"
              "# TYPE quorvex_modem_info gauge\n"
              "quorvex_modem_info{model=\"A\\\\B\\nC\",port=\"/dev/a\\\"b\\\\c\\nd\","
              "type=\"6\\\"0\"} 1\n");
}

// Seconds as a parser reads them back unchanged: no trailing zeros or point.
struct SecondsCase {
    const char* name;
    double seconds;
    const char* text;
};

void PrintTo(const SecondsCase& c, std::ostream* os) {
    *os << c.name;
}

class PrometheusSecondsTest : public testing::TestWithParam<SecondsCase> {};

TEST_P(PrometheusSecondsTest, ToTheMillisecond) {
    const CardTool::CardState state = {{"band_class", "Band class", CardTool::Value{"1", "1"}, ""}};
    EXPECT_EQ(collectionSeconds(CardTool::formatPrometheus(state, "p", GetParam().seconds)),
              GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, PrometheusSecondsTest,
                         testing::Values(SecondsCase{"Rounded", 0.1684, "0.168"},
                                         SecondsCase{"TrailingZerosDropped", 1.5, "1.5"},
                                         SecondsCase{"Whole", 2.0, "2"},
                                         SecondsCase{"BelowAMillisecond", 0.0004, "0"},
                                         SecondsCase{"RoundedUpToWhole", 12.9996, "13"}),
                         [](const testing::TestParamInfo<SecondsCase>& info) {
                             return info.param.name;
                         });

// A port that is not there is still an exposition (with --prometheus
// only); every output says so alike, with the same status.
TEST(PrometheusToolTest, PortThatDoesNotOpenIsNotUp) {
    const std::pair<std::vector<std::string>, std::string> outputs[] = {
        {{"--prometheus"},
         "# HELP quorvex_up 1 when the port opened and the modem answered every query.\n"
         "# TYPE quorvex_up gauge\n"
         "quorvex_up{port=\"/dev/quorvex-none\"} 0\n"},
        {{"--json"}, ""},
        {{}, ""}};
    for (auto [arguments, out] : outputs) {
        arguments.insert(arguments.begin(), {"--device", "/dev/quorvex-none"});
        const ToolRun tool = runTool(arguments);
        EXPECT_EQ(tool.out, out);
        EXPECT_EQ(tool.err,
                  "Error opening port /dev/quorvex-none: -1No such file or directory\n"
                  "quorvexcard: the modem's port did not open\n");
        EXPECT_EQ(tool.status, CardTool::kNoPort);
    }
}

}  // namespace
