// quorvexcard --cgi as BusyBox httpd runs it (the request in the
// environment, the response on standard output), the real binary in a
// private mount namespace with its own /tmp and the simulated modem behind
// /dev/ttyUSB1: the exact response to each kind of request and sample, the
// freshness rule that keeps the modem to one signal query per interval, and
// files planted under /tmp.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

#include "support/SignalGateway.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;

constexpr unsigned kSignal = OBJ_RSSI_ECIO_CDMA_HDR;
constexpr unsigned kModel = OBJ_MODEM_TYPE;
constexpr unsigned kNobody = 65534;

class SignalCgiTest : public testing::Test {
protected:
    void SetUp() override {
        if (!ProbeSandbox::unavailableReason().empty()) {
            GTEST_SKIP() << ProbeSandbox::unavailableReason();
        }
    }

    // One request as BusyBox httpd makes it: its environment, standard input
    // from nowhere (the body is never read).
    ProbeRun request(const std::string& method, std::vector<std::string> arguments = {},
                     const char* interval = "60") {
        arguments.insert(arguments.begin(), {"--cgi", "--interval", interval});
        return gateway.sandbox.runCardTool(
            arguments, {"REQUEST_METHOD=" + method, "QUERY_STRING=interval=0.1&device=/dev/ttyUSB2",
                        "REQUEST_URI=/cgi-bin/quorvex-signal?interval=0.1&device=/dev/ttyUSB2",
                        "SCRIPT_NAME=/cgi-bin/quorvex-signal", "SERVER_PROTOCOL=HTTP/1.1",
                        "GATEWAY_INTERFACE=CGI/1.1", "REMOTE_ADDR=127.0.0.1", "CONTENT_LENGTH=5",
                        "PATH=/usr/sbin:/usr/bin:/sbin:/bin"});
    }

    std::string tmp(const char* name) const { return gateway.sandbox.tmpDir() + "/" + name; }

    SignalGateway gateway;
};

struct ResponseCase {
    const char* name;
    std::string method;
    std::string response;  // T, A and L for the time, the age and the length
    std::vector<unsigned> asked;
    std::vector<std::string> arguments = {};
    std::function<void(SignalGateway&)> setUp = [](SignalGateway&) {};
};

void PrintTo(const ResponseCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kMute = "no reply within 1 second";
const std::string kNotAllowed =
    "Status: 405 Method Not Allowed\r\nAllow: GET, HEAD\r\nContent-Type: text/plain\r\n"
    "Cache-Control: no-store\r\nContent-Length: L\r\n\r\nonly GET and HEAD\n";
const std::string kNoModem = "no modem listed in /proc/tty/driver/usbserial";

const ResponseCase kResponses[] = {
    // The signal first, then the model name, on a port new to the sample.
    {"FullSample", "GET", kJsonHeaders + std::string(kFullJson), {kSignal, kModel}},
    {"HeadersAloneForHead", "HEAD", kJsonHeaders, {kSignal, kModel}},
    // A modem that does not answer is not asked its name.
    {"FailedQuery",
     "GET",
     kJsonHeaders + failedJson(kMute, "\"/dev/ttyUSB1\"", "60"),
     {kSignal},
     {},
     [](SignalGateway& g) { g.modem.answer(kSignal, SimulatedModem::mute()); }},
    {"NoModem",
     "GET",
     kJsonHeaders + failedJson(kNoModem, "null", "60"),
     {},
     {},
     [](SignalGateway& g) { g.sandbox.setDriverList("usbserinfo:1.0 driver:2.0\n"); }},
    {"PortDoesNotOpen",
     "GET",
     kJsonHeaders + failedJson("port could not be opened", "\"/dev/ttyUSB7\"", "60"),
     {},
     {"--device", "/dev/ttyUSB7"}},
    {"PostIsNotAllowed", "POST", kNotAllowed, {}},
    {"LowerCaseGetIsNotGet", "get", kNotAllowed, {}},
};

class SignalCgiResponseTest : public SignalCgiTest,
                              public testing::WithParamInterface<ResponseCase> {};

TEST_P(SignalCgiResponseTest, AnswersExactly) {
    GetParam().setUp(gateway);
    const ProbeRun cgi = request(GetParam().method, GetParam().arguments);
    EXPECT_EQ(cgi.exitStatus, 0) << cgi.err;
    if (GetParam().method == "HEAD") {
        // The length is the body's that GET would get.
        EXPECT_EQ(cgi.out.substr(0, cgi.out.find("Content-Length")),
                  "Content-Type: application/json\r\nCache-Control: no-store\r\n");
        EXPECT_EQ(cgi.out.substr(cgi.out.size() - 4), "\r\n\r\n");
        EXPECT_EQ(withoutClock(request("GET").out), kJsonHeaders + std::string(kFullJson))
            << "then served fresh to a GET";
    } else {
        EXPECT_EQ(withoutClock(cgi.out), GetParam().response);
    }
    EXPECT_EQ(gateway.objectsAsked(), GetParam().asked);
}

INSTANTIATE_TEST_SUITE_P(Requests, SignalCgiResponseTest, testing::ValuesIn(kResponses),
                         [](const testing::TestParamInfo<ResponseCase>& info) {
                             return info.param.name;
                         });

// The sample's time, from its JSON.
std::string timeOf(const ProbeRun& cgi) {
    const std::size_t at = cgi.out.find("\"time\": \"");
    return at == std::string::npos ? "" : cgi.out.substr(at + 9, 24);
}

TEST_F(SignalCgiTest, OneSamplePerIntervalAndTheModelOncePerPort) {
    const ProbeRun first = request("GET");
    ASSERT_EQ(withoutClock(first.out), kJsonHeaders + std::string(kFullJson));
    // Fresh: served again, the modem not asked.
    const ProbeRun again = request("GET");
    EXPECT_EQ(timeOf(again), timeOf(first));
    EXPECT_EQ(gateway.objectsAsked(), (std::vector<unsigned>{kSignal, kModel}));

    // Stale, but another request holds the sampler's lock: what is there.
    const int lock = ::open(tmp("quorvexcard-signal.lock").c_str(), O_RDWR);
    ASSERT_NE(lock, -1);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(timeOf(request("GET", {}, "0.1")), timeOf(first));
    ::close(lock);
    EXPECT_EQ(gateway.objectsAsked(), (std::vector<unsigned>{kSignal, kModel}));

    // Sampled anew; the model name is kept while the port stays.
    const ProbeRun second = request("GET", {}, "0.1");
    EXPECT_NE(timeOf(second), timeOf(first));
    EXPECT_NE(second.out.find("\"interval_seconds\": 0.1, \"port\": \"/dev/ttyUSB1\", "
                              "\"model_name\": \"MC5728V\", \"cdma_rssi\": -90"),
              std::string::npos)
        << second.out;
    EXPECT_EQ(gateway.objectsAsked(), (std::vector<unsigned>{kSignal, kModel, kSignal}));

    // Another port, the modem gone, the modem back: the name is asked again
    // after each change.
    const struct {
        std::string driverList;
        std::string shows;
        std::vector<unsigned> asked;  // since the step before
    } steps[] = {
        {driverListNaming(2),
         "\"port\": \"/dev/ttyUSB2\", \"model_name\": \"MC5728V\"",
         {kSignal, kModel}},
        {"usbserinfo:1.0 driver:2.0\n", "\"port\": null, \"model_name\": null", {}},
        {driverListNaming(2),
         "\"port\": \"/dev/ttyUSB2\", \"model_name\": \"MC5728V\"",
         {kSignal, kModel}},
    };
    std::vector<unsigned> asked = gateway.objectsAsked();
    for (const auto& step : steps) {
        gateway.sandbox.setDriverList(step.driverList);
        std::this_thread::sleep_for(120ms);
        const ProbeRun cgi = request("GET", {}, "0.1");
        EXPECT_NE(cgi.out.find(step.shows), std::string::npos) << cgi.out;
        asked.insert(asked.end(), step.asked.begin(), step.asked.end());
        EXPECT_EQ(gateway.objectsAsked(), asked) << step.shows;
    }
}

// Files that another user may plant under /tmp are never followed, and
// never trusted.
struct PlantedCase {
    const char* name;
    std::function<void(const std::string& tmp)> plant;
    bool sampled;     // the modem is asked and its values served
    std::string err;  // the CGI's standard error
};

void PrintTo(const PlantedCase& c, std::ostream* os) {
    *os << c.name;
}

std::string monotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::to_string(now.tv_sec * 1000LL + now.tv_nsec / 1000000);
}

const PlantedCase kPlanted[] = {
    {"LinkAtTheLock",
     [](const std::string& tmp) {
         ASSERT_EQ(::symlink("/tmp/victim", (tmp + "/quorvexcard-signal.lock").c_str()), 0);
     },
     false,
     "quorvexcard: cannot use /tmp/quorvexcard-signal.lock: Too many levels of symbolic links\n"},
    {"AnotherUsersLock",
     [](const std::string& tmp) {
         const std::string lock = tmp + "/quorvexcard-signal.lock";
         writeFileText(lock, "");
         ASSERT_EQ(::chown(lock.c_str(), kNobody, kNobody), 0);
     },
     false, "quorvexcard: cannot use /tmp/quorvexcard-signal.lock: Operation not permitted\n"},
    {"LinkAtTheSample",
     [](const std::string& tmp) {
         ASSERT_EQ(::symlink("/tmp/victim", (tmp + "/quorvexcard-signal").c_str()), 0);
     },
     true,
     "quorvexcard: cannot write /tmp/quorvexcard-signal: Too many levels of symbolic links\n"},
    // A fresh sample with other values, but another user's: not served.
    {"AnotherUsersSample",
     [](const std::string& tmp) {
         const std::string sample = tmp + "/quorvexcard-signal";
         writeFileText(sample, "sampled_ms " + monotonicMs() +
                                   "\ntime 2026-01-01T00:00:00.000Z\nport /dev/ttyUSB1\n"
                                   "model MC5728V\nmodel_failure \nvalues -50 1 -50 1\n");
         ASSERT_EQ(::chown(sample.c_str(), kNobody, kNobody), 0);
     },
     true, ""},
};

class SignalCgiPlantedTest : public SignalCgiTest,
                             public testing::WithParamInterface<PlantedCase> {};

TEST_P(SignalCgiPlantedTest, IsNeitherFollowedNorTrusted) {
    const std::string tmp = gateway.sandbox.tmpDir();
    writeFileText(tmp + "/victim", "precious\n");
    GetParam().plant(tmp);
    const ProbeRun cgi = request("GET");
    EXPECT_EQ(cgi.err, GetParam().err);
    if (GetParam().sampled) {
        EXPECT_EQ(withoutClock(cgi.out), kJsonHeaders + std::string(kFullJson));
    } else {
        const std::string reason = GetParam().err.substr(13, GetParam().err.size() - 14);
        EXPECT_EQ(withoutClock(cgi.out), kJsonHeaders + failedJson(reason, "null", "60", false));
        EXPECT_TRUE(gateway.objectsAsked().empty());
    }
    EXPECT_EQ(readFileText(tmp + "/victim"), "precious\n");
}

INSTANTIATE_TEST_SUITE_P(Files, SignalCgiPlantedTest, testing::ValuesIn(kPlanted),
                         [](const testing::TestParamInfo<PlantedCase>& info) {
                             return info.param.name;
                         });

}  // namespace
