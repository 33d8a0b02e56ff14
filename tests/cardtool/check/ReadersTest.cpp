// The check's readers of system text, on text alone: crontab lines as cron
// reads them, /proc/locks, /etc/passwd, and the JSON strings that carry
// such text.
#include <gtest/gtest.h>

#include "cardtool/JsonText.h"
#include "cardtool/check/Crontab.h"
#include "cardtool/check/PortHolders.h"
#include "cardtool/check/SystemFiles.h"

namespace {

using namespace CardTool;

struct CrontabCase {
    const char* name;
    const char* line;
    bool hasUserField;
    const char* howOften;  // nullptr: the line does not run the probe
    int longestGap;        // minutes; 0: no simple period
};

void PrintTo(const CrontabCase& c, std::ostream* os) {
    *os << c.line;
}

class CrontabTest : public testing::TestWithParam<CrontabCase> {};

TEST_P(CrontabTest, ReadsTheLineAsCronDoes) {
    const CrontabCase& c = GetParam();
    const auto entry = readCrontabLine(c.line, c.hasUserField);
    ASSERT_EQ(entry.has_value(), c.howOften != nullptr);
    if (entry) {
        EXPECT_EQ(entry->howOften, c.howOften);
        EXPECT_EQ(entry->longestGap.value_or(std::chrono::minutes(0)).count(), c.longestGap);
        EXPECT_EQ(entry->line, c.line);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CrontabTest,
    testing::Values(
        CrontabCase{"every_minute", "* * * * * /usr/bin/quorvexmetrics >/dev/null 2>&1", false,
                    "every minute", 1},
        CrontabCase{"step_dividing_the_hour", "*/5 * * * * root /usr/bin/quorvexmetrics", true,
                    "every 5 minutes", 5},
        // The step runs within the hour: minute 0 only.
        CrontabCase{"step_beyond_the_hour", "*/90 * * * * quorvexmetrics", false, "every hour", 60},
        CrontabCase{"step_not_dividing_the_hour", "*/7 * * * * quorvexmetrics", false,
                    "at \"*/7 * * * *\"", 7},
        CrontabCase{"list", "0,30 * * * * quorvexmetrics", false, "every 30 minutes", 30},
        CrontabCase{"range", "0-10 * * * * quorvexmetrics", false, "at \"0-10 * * * *\"", 50},
        CrontabCase{"range_with_step", "10-50/20 */2 * * * quorvexmetrics", false,
                    "at \"10-50/20 */2 * * *\"", 80},
        CrontabCase{"every_day", "15 3 * * * quorvexmetrics", false, "every day", 1440},
        CrontabCase{"hourly_name", "@hourly /usr/bin/quorvexmetrics", false, "every hour", 60},
        CrontabCase{"daily_name", "@midnight root quorvexmetrics", true, "every day", 1440},
        CrontabCase{"reboot_name", "@reboot quorvexmetrics", false, "at \"@reboot\"", 0},
        CrontabCase{"weekdays_only", "0 * * * 1-5 quorvexmetrics", false, "at \"0 * * * 1-5\"", 0},
        CrontabCase{"minute_cron_refuses", "61 * * * * quorvexmetrics", false, "at \"61 * * * *\"",
                    0},
        CrontabCase{"zero_step", "*/0 * * * * quorvexmetrics", false, "at \"*/0 * * * *\"", 0},
        CrontabCase{"in_a_shell_command", "* * * * * cd /; (quorvexmetrics)", false, "every minute",
                    1},
        CrontabCase{"comment", "# * * * * * /usr/bin/quorvexmetrics", false, nullptr, 0},
        CrontabCase{"variable", "PATH=/usr/bin/quorvexmetrics", false, nullptr, 0},
        CrontabCase{"only_the_metrics_file", "* * * * * cat /tmp/quorvexmetrics", false, nullptr,
                    0},
        CrontabCase{"user_field_is_no_command", "* * * * * quorvexmetrics", true, nullptr, 0}),
    [](const testing::TestParamInfo<CrontabCase>& info) { return info.param.name; });

TEST(ProcLocksTest, OnlyHoldersOfTheNodesFlock) {
    const std::string locks =
        "1: FLOCK  ADVISORY  WRITE 1234 00:19:3 0 EOF\n"
        "1: -> FLOCK  ADVISORY  WRITE 1300 00:19:3 0 EOF\n"
        "2: POSIX  ADVISORY  WRITE 1400 00:19:3 0 EOF\n"
        "3: FLOCK  ADVISORY  WRITE 1500 00:19:30 0 EOF\n"
        "4: FLOCK  ADVISORY  READ 1600 00:19:3 0 EOF\n"
        "5: FLOCK\n";
    EXPECT_EQ(flockHoldersIn(locks, "00:19:3"), (std::vector<long>{1234, 1600}));
    EXPECT_TRUE(flockHoldersIn("", "00:19:3").empty());
}

TEST(PasswdTest, NameOfTheUidFieldOnly) {
    const std::string passwd =
        "root:x:0:0:root:/root:/bin/sh\n"
        "daemon:x:1:0::/:/bin/false\n"
        "odd\n"
        "gid:x:7:0::/:\n"
        "nobody:x:65534:65534:nobody:/:/bin/false";
    EXPECT_EQ(userNameIn(passwd, 0), "root");
    EXPECT_EQ(userNameIn(passwd, 65534), "nobody");
    EXPECT_EQ(userNameIn(passwd, 65), "uid 65");
    EXPECT_EQ(userNameIn("", 0), "uid 0");
}

TEST(JsonTextTest, AnyBytesMakeAValidString) {
    EXPECT_EQ(jsonString("a \"b\" \\ \n\x01"), R"("a \"b\" \\ \u000a\u0001")");
    // Valid UTF-8 stays; any other byte is the character of its value.
    EXPECT_EQ(jsonString("\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6"),
              "\"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB6\"");
    EXPECT_EQ(jsonString("\xFF\x80 \xC3"), R"("\u00ff\u0080 \u00c3")");
    EXPECT_EQ(jsonString("\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80"),
              R"("\u00c0\u00af \u00ed\u00a0\u0080 \u00f4\u0090\u0080\u0080")");
}

}  // namespace
