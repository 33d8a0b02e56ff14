// quorvexcard --check, the real binary in a private mount namespace: a
// healthy chain (driver list, /dev/ttyUSB1 on the simulated modem, a fresh
// metrics file, a crontab), then one broken link per case, each with its
// verdicts in the order of the checks and its exit status.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <regex>

#include "cns/CnsObjects.h"
#include "sim/Sandbox.h"
#include "sim/SimulatedModem.h"
#include "support/Descriptors.h"

namespace {

using namespace CnsObjects;

constexpr const char* kModemLine =
    ": module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
    "path:usb-dummy_hcd.0-1\n";

std::string modemLines(int first) {
    return "usbserinfo:1.0 driver:2.0\n" + std::to_string(first) + kModemLine +
           std::to_string(first + 1) + kModemLine;
}

struct Scene {
    SimulatedModem& modem;
    ProbeSandbox& sandbox;
    std::string metricsPath;
    std::vector<int>& held;  // descriptors the test holds during the run
    std::optional<std::string> driverList = modemLines(0);
    bool needsRoot = false;
    pid_t cronDaemon = 0;
};

// A process named crond, until killed.
pid_t startFakeCronDaemon() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_NAME, "crond");
        ::pause();
        ::_exit(0);
    }
    return pid;
}

void holdPort(Scene& scene, bool lock) {
    const int fd = ::open(scene.modem.devicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_NE(fd, -1);
    scene.held.push_back(fd);
    ASSERT_TRUE(!lock || ::flock(fd, LOCK_EX) == 0);
}

void ageMetrics(Scene& scene, long seconds) {
    const timespec times[2] = {{std::time(nullptr) - seconds, 0},
                               {std::time(nullptr) - seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, scene.metricsPath.c_str(), times, 0), 0);
}

void muteModem(Scene& scene) {
    scene.modem.answer(OBJ_RSSI, SimulatedModem::mute());
    scene.modem.answer(OBJ_ROAMING_STATUS, SimulatedModem::mute());
}

void replaceMetrics(Scene& scene, const std::function<int(const char*)>& make) {
    ASSERT_EQ(::unlink(scene.metricsPath.c_str()), 0);
    ASSERT_EQ(make(scene.metricsPath.c_str()), 0);
}

// "name: verdict" lines of the text, or the "verdict" values of the JSON.
std::string verdictsOf(const std::string& report) {
    const std::regex verdict(R"((?:^[a-z][a-z ]*: |"verdict": ")([a-z]+))", std::regex::multiline);
    std::string found;
    for (std::sregex_iterator it(report.begin(), report.end(), verdict), end; it != end; ++it) {
        found += (found.empty() ? "" : " ") + (*it)[1].str();
    }
    return found;
}

// Whether `text` is JSON that python3's parser accepts.
bool acceptedAsJson(const std::string& text) {
    if (std::system("python3 -c '' 2>/dev/null") != 0) {
        ADD_FAILURE() << "python3 is needed to parse the JSON";
        return false;
    }
    FILE* const parser = ::popen("python3 -c 'import json, sys; json.load(sys.stdin)'", "w");
    std::fwrite(text.data(), 1, text.size(), parser);
    return ::pclose(parser) == 0;
}

struct BrokenLink {
    const char* name;
    const char* verdicts;  // driver list, port, modem, metrics file, schedule
    int status;
    std::string shows;  // a line, or part of one, of the report
    std::function<void(Scene&)> breakLink = [](Scene&) {};
    std::vector<std::string> arguments = {};
};

void PrintTo(const BrokenLink& c, std::ostream* os) {
    *os << c.name;
}

class CheckTest : public testing::TestWithParam<BrokenLink> {};

const BrokenLink kBrokenLinks[] = {
    {"healthy", "ok ok ok ok ok", 0, "    RSSI, the file's line 1: -75 (reply in "},
    {"healthy, JSON",
     "ok ok ok ok ok",
     0,
     R"(["/proc/tty/driver/usbserial has 2 line(s) of product 0028:", )"
     R"("  0: module:usbserial name:\"generic\")",
     [](Scene&) {},
     {"--json"}},
    {"--device, RSSI 0",
     "skipped ok ok ok ok",
     0,
     "    RSSI, the file's line 1: 1 (reply in ",
     [](Scene& s) {
         s.driverList = std::nullopt;
         s.modem.answerValue(OBJ_RSSI, 0);
     },
     {"--device", "/dev/ttyUSB1"}},
    {"no list", "failed skipped skipped ok ok", 4,
     "    /proc/tty/driver/usbserial cannot be read: No such file or directory\n",
     [](Scene& s) { s.driverList = std::nullopt; }},
    {"no modem listed", "failed skipped skipped ok ok", 4,
     "/proc/tty/driver/usbserial has no line of product 0028\n",
     [](Scene& s) { s.driverList = "usbserinfo:1.0 driver:2.0\n0: vendor:abcd product:0031\n"; }},
    {"chosen port missing", "ok failed skipped ok ok", 4,
     "    /dev/ttyUSB2: No such file or directory\n",
     [](Scene& s) { s.driverList = modemLines(1); }},
    {"port held open", "ok warning ok ok ok", 1, "    process " + std::to_string(::getpid()) + " (",
     [](Scene& s) { holdPort(s, false); }},
    {"port locked", "ok failed skipped ok ok", 4, ") holds its lock\n",
     [](Scene& s) { holdPort(s, true); }},
    {"mute modem", "ok ok failed ok ok", 4,
     "    roaming status, the file's line 2: failed: no reply within 1 second\n", muteModem},
    {"modem resets during the check", "ok failed failed ok ok", 4,
     "    it went away during the check: Input/output error\n"
     "    hint: the port disappeared during the check: the modem reset or was unplugged; wait for "
     "it to come back (see the driver list), then check its power and cable\n"
     "modem: failed\n"
     "    RSSI, the file's line 1: failed: the modem went away (Input/output error)\n",
     [](Scene& s) { s.modem.answer(OBJ_RSSI, SimulatedModem::hangUp()); }},
    {"error reply", "ok ok failed ok ok", 4,
     "RSSI, the file's line 1: failed: the modem answered with an error",
     [](Scene& s) { s.modem.answer(OBJ_RSSI, SimulatedModem::errorReply(OBJ_RSSI, value16(75))); }},
    {"metrics file old", "ok ok ok warning ok", 1, "owner root, modified 60 min ago\n",
     [](Scene& s) { ageMetrics(s, 3600); }},
    {"metrics file a symbolic link", "ok ok ok failed ok", 4,
     "/tmp/quorvexmetrics is a symbolic link\n",
     [](Scene& s) {
         replaceMetrics(s, [](const char* path) { return ::symlink("/etc/passwd", path); });
     }},
    {"metrics file a directory", "ok ok ok failed ok", 4, "/tmp/quorvexmetrics is a directory",
     [](Scene& s) { replaceMetrics(s, [](const char* path) { return ::mkdir(path, 0755); }); }},
    {"metrics file junk", "ok ok ok failed ok", 4,
     "content is not what a run writes: \"-75 dBm\\n\\x01\"\n",
     [](Scene& s) { writeFileText(s.metricsPath, "-75 dBm\n\x01"); }},
    {"cron.d, every 5 minutes", "ok ok ok ok ok", 0,
     "    /etc/cron.d/metrics line 2 runs it every 5 minutes: */5 * * * * root "
     "/usr/bin/quorvexmetrics\n",
     [](Scene& s) {
         s.sandbox.addCrontab("/etc/crontabs/root", "");
         s.sandbox.addCrontab("/etc/cron.d/metrics",
                              "SHELL=/bin/sh\n*/5 * * * * root /usr/bin/quorvexmetrics\n");
         ageMetrics(s, 8 * 60);
     }},
    {"no crontab", "ok ok ok ok warning", 1, "    no crontab runs quorvexmetrics",
     [](Scene& s) {
         s.sandbox.addCrontab("/etc/crontabs/root", "# * * * * * /usr/bin/quorvexmetrics\n");
     }},
    {"crontab step beyond the hour", "ok ok ok warning ok", 1,
     "for 2 h though its schedule runs it every hour: ",
     [](Scene& s) {
         s.sandbox.addCrontab("/etc/crontabs/root", "*/90 * * * * /usr/bin/quorvexmetrics\n");
         ageMetrics(s, 150 * 60);
     }},
    {"busybox crontab of Buildroot", "ok ok ok ok ok", 0,
     "/etc/cron/crontabs/root line 1 runs it every minute: ",
     [](Scene& s) {
         s.sandbox.addCrontab("/etc/crontabs/root", "");
         s.sandbox.addCrontab("/etc/cron/crontabs/root", "* * * * * /usr/bin/quorvexmetrics\n");
     }},
    {"cron daemon runs", "ok ok ok ok ok", 0, "the cron daemon runs: crond (process ",
     [](Scene& s) { s.cronDaemon = startFakeCronDaemon(); }},
    {"mute modem, empty metrics file", "ok ok failed warning ok", 4,
     "    empty: the probe's last run failed\n",
     [](Scene& s) {
         muteModem(s);
         writeFileText(s.metricsPath, "");
     }},
    {"byte 0xFF in the driver list, JSON",
     "ok ok ok ok ok",
     0,
     R"(vendor:\u00ffbcd)",
     [](Scene& s) {
         s.driverList =
             "0: vendor:\xFF"
             "bcd product:0028 num_ports:1 port:0 path:p\n"
             "1: product:0028\n";
     },
     {"--json"}},
    {"as nobody", "failed skipped skipped ok ok", 4,
     "    hint: only root may read it: run the check as root\n",
     [](Scene& s) {
         s.sandbox.runAsUser(65534);
         s.needsRoot = true;
     }},
};

TEST_P(CheckTest, BrokenLinkHasItsVerdictsAndStatus) {
    if (!ProbeSandbox::unavailableReason().empty()) {
        GTEST_SKIP() << ProbeSandbox::unavailableReason();
    }
    const BrokenLink& c = GetParam();
    SimulatedModem modem;
    modem.answerValue(OBJ_RSSI, 75);
    modem.answerValue(OBJ_ROAMING_STATUS, 1);
    modem.answer(OBJ_MODEM_TYPE,
                 SimulatedModem::reply(OBJ_MODEM_TYPE, {0, 0, 0, 0x3C, 0, 0, 0, 0}));
    modem.releasePort();
    ProbeSandbox sandbox;
    sandbox.addDevice("ttyUSB1", modem.devicePath());
    sandbox.addCrontab("/etc/crontabs/root",
                       "# metrics\n* * * * * /usr/bin/quorvexmetrics >/dev/null 2>&1\n");
    std::vector<int> held;
    Scene scene{modem, sandbox, sandbox.tmpDir() + "/quorvexmetrics", held};
    writeFileText(scene.metricsPath, "-75\n1\n");
    c.breakLink(scene);
    if (scene.needsRoot && ::geteuid() != 0) {
        GTEST_SKIP() << "running the check as nobody needs root";
    }
    if (scene.driverList) {
        sandbox.setDriverList(*scene.driverList);
    }
    const std::string metricsBefore = readFileText(scene.metricsPath);
    const tcflag_t modesBefore = settingsOf(modem.devicePath()).c_lflag;
    std::vector<std::string> arguments = {"--check"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProbeRun run = sandbox.runCardTool(arguments);
    for (const int fd : held) {
        ::close(fd);
    }
    if (scene.cronDaemon > 0) {
        ::kill(scene.cronDaemon, SIGKILL);
        ::waitpid(scene.cronDaemon, nullptr, 0);
    }
    if (std::find(c.arguments.begin(), c.arguments.end(), "--json") != c.arguments.end()) {
        EXPECT_TRUE(acceptedAsJson(run.out)) << run.out;
    }
    EXPECT_EQ(verdictsOf(run.out), c.verdicts) << c.name << "\n" << run.out;
    EXPECT_EQ(run.exitStatus, c.status) << c.name;
    EXPECT_NE(run.out.find(c.shows), std::string::npos) << c.name << "\n" << run.out;
    EXPECT_EQ(readFileText(scene.metricsPath), metricsBefore) << c.name;
    EXPECT_TRUE(modem.hungUp() || settingsOf(modem.devicePath()).c_lflag == modesBefore)
        << c.name << ": port settings not put back";
    for (const Bytes& request : modem.requests()) {
        EXPECT_EQ(request.at(7), 0x01) << c.name << ": not a get request";
    }
}

INSTANTIATE_TEST_SUITE_P(Links, CheckTest, testing::ValuesIn(kBrokenLinks),
                         [](const testing::TestParamInfo<BrokenLink>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

}  // namespace
