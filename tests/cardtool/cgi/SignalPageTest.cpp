// The signal page with the real server: Debian's BusyBox httpd on a
// loopback port serving signal.html and the CGI from a private mount
// namespace whose /dev/ttyUSB1 is the simulated modem. Twenty viewers
// polling at once, then the page itself in Debian's headless Chromium,
// read through its DOM.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "sim/BusyBoxHttpd.h"
#include "sim/DriftingSignal.h"
#include "sim/HeadlessBrowser.h"
#include "sim/Loopback.h"
#include "support/ScratchDir.h"
#include "support/SignalGateway.h"

namespace {

using namespace CnsObjects;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr unsigned kSignal = OBJ_RSSI_ECIO_CDMA_HDR;

// The gateway's web root, the sandbox's /tmp/www: signal.html and
// cgi-bin/quorvex-signal as packaged, the script running this build's tool
// (copied into the sandbox) with `interval`; served by BusyBox httpd.
struct SignalServer {
    SignalServer(SignalGateway& gateway, const std::string& interval) {
        const std::string www = gateway.sandbox.tmpDir() + "/www";
        std::filesystem::create_directories(www + "/cgi-bin");
        writeFileText(www + "/signal.html", page);
        std::string script = readFileText(QUORVEX_PAGE_DIR "/cgi-bin/quorvex-signal");
        const std::string tool = gateway.sandbox.stageProgram(QUORVEX_CARDTOOL_PATH, "quorvexcard");
        script.replace(script.find("/usr/bin/quorvexcard"), 20, tool);
        script.replace(script.find("--interval 1"), 12, "--interval " + interval);
        writeFileText(www + "/cgi-bin/quorvex-signal", script);
        ::chmod((www + "/cgi-bin/quorvex-signal").c_str(), 0755);
        log = gateway.sandbox.tmpDir() + "/httpd.log";
        httpd = std::make_unique<BusyBoxHttpd>(gateway.sandbox, "/tmp/www", log);
    }

    const std::string page = readFileText(QUORVEX_PAGE_DIR "/signal.html");
    std::string log;
    std::unique_ptr<BusyBoxHttpd> httpd;
};

class SignalPageTest : public testing::Test {
protected:
    void SetUp() override {
        if (!BusyBoxHttpd::unavailableReason().empty()) {
            GTEST_SKIP() << BusyBoxHttpd::unavailableReason();
        }
    }

    SignalGateway gateway;
};

TEST_F(SignalPageTest, ServesThePageAndRefusesAPost) {
    const SignalServer server(gateway, "1");
    const std::string page = httpGet(server.httpd->port(), "/signal.html");
    ASSERT_EQ(page.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << page << readFileText(server.log);
    EXPECT_EQ(page.substr(page.find("\r\n\r\n") + 4), server.page);
    EXPECT_LE(server.page.size(), 24u * 1024) << "the page's budget";
    const std::string post = httpExchange(
        server.httpd->port(),
        "POST /cgi-bin/quorvex-signal?x=1 HTTP/1.0\r\nContent-Length: 9\r\n\r\nrssi=-50\n");
    EXPECT_EQ(post.rfind("HTTP/1.1 405 Method Not Allowed\r\n", 0), 0u) << post;
    EXPECT_NE(post.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos) << post;
    EXPECT_TRUE(gateway.objectsAsked().empty());
}

// Twenty phones polling five times a second for ten seconds (the viewers
// can be changed with QUORVEX_LOAD_VIEWERS, for measuring), and the cron
// probe run in the middle.
TEST_F(SignalPageTest, ManyViewersGetTheModemsValuesWithOneQueryPerInterval) {
    gateway.modem.answer(OBJ_RSSI, SimulatedModem::reply(OBJ_RSSI, value16(75)));
    gateway.modem.answer(OBJ_ROAMING_STATUS, SimulatedModem::reply(OBJ_ROAMING_STATUS, value16(1)));
    const SignalServer server(gateway, "1");
    const char* viewersText = std::getenv("QUORVEX_LOAD_VIEWERS");
    const int viewers = viewersText != nullptr ? std::atoi(viewersText) : 20;
    constexpr int kPolls = 50;
    std::vector<std::string> replies;
    std::mutex repliesLock;
    const auto start = Clock::now();
    std::vector<std::thread> phones;
    for (int v = 0; v < viewers; ++v) {
        phones.emplace_back([&, v] {
            // Spread over the first poll's 200 ms, as phones are.
            const auto first = start + std::chrono::milliseconds(v * 200 / viewers);
            for (int i = 0; i < kPolls; ++i) {
                std::this_thread::sleep_until(first + i * 200ms);
                std::string reply = httpGet(server.httpd->port(), "/cgi-bin/quorvex-signal");
                const std::lock_guard<std::mutex> hold(repliesLock);
                replies.push_back(std::move(reply));
            }
        });
    }
    std::this_thread::sleep_until(start + 5s);
    const ProbeRun probe = gateway.sandbox.runProbe();
    for (std::thread& phone : phones) {
        phone.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(probe.metrics, "-75\n1\n") << probe.err;
    EXPECT_EQ(probe.exitStatus, 181);

    // Each reply the whole sample: the modem's values, its model and port, no error.
    const std::string sample = "HTTP/1.1 200 OK\r\n" + std::string(kJsonHeaders) +
                               std::regex_replace(kFullJson, std::regex("\"interval_seconds\": 60"),
                                                  "\"interval_seconds\": 1");
    const long whole = std::count_if(replies.begin(), replies.end(), [&](const std::string& reply) {
        return withoutClock(reply) == sample;
    });
    EXPECT_EQ(whole, viewers * kPolls) << readFileText(server.log);
    const auto asked = gateway.objectsAsked();
    const long queries = std::count(asked.begin(), asked.end(), kSignal);
    EXPECT_LE(queries, static_cast<long>(seconds) + 1) << "in " << seconds << " s";
    EXPECT_GE(queries, static_cast<long>(seconds) / 2) << "the sample goes stale and is renewed";
    std::printf("%d viewers: %zu requests in %.1f s (%.0f/s), %ld signal queries (%.2f/s)\n",
                viewers, replies.size(), seconds, replies.size() / seconds, queries,
                queries / seconds);
}

// The page read through its DOM while the modem's signal changes: the
// values and quality words, the peak held after a drop and cleared by the
// reset, the difference from it, the stale state when the modem goes mute
// with its reason, the gap it leaves in the history, a mark, and the CSV.
// QUORVEX_SCREENSHOT names a PNG file for the page at phone size.
TEST_F(SignalPageTest, PageShowsTheModemInABrowser) {
    const ScratchDir profile;
    HeadlessBrowser browser(profile.path + "/chromium");
    const std::string unavailable = browser.unavailableReason();
    if (!unavailable.empty()) {
        GTEST_SKIP() << unavailable;
    }
    const SignalServer server(gateway, "0.5");
    const std::string page = browser.open(server.httpd->url("/signal.html"), 360, 780);
    ASSERT_FALSE(page.empty());
    const auto text = [&](const std::string& id) {
        return browser.evaluate(page, "document.getElementById('" + id + "').textContent");
    };
    const auto shows = [&](const std::string& id, const std::string& value) {
        return browser.waitFor(
            page, "document.getElementById('" + id + "').textContent === '" + value + "'", 8s);
    };

    ASSERT_TRUE(shows("cdma_rssi-value", "-90")) << text("state") << readFileText(server.log);
    EXPECT_TRUE(shows("hdr_rssi-value", "-80"));
    EXPECT_EQ(text("cdma_ecio-value") + " " + text("hdr_ecio-value"), "8 4");
    EXPECT_EQ(text("cdma_rssi-quality") + " " + text("hdr_rssi-quality"), "fair fair");
    EXPECT_EQ(browser.evaluate(page, "document.getElementById('state').dataset.state"), "live");
    EXPECT_EQ(text("port"), "/dev/ttyUSB1");

    // The signal drops: the peak holds, the difference shows.
    gateway.modem.answer(kSignal, signalReply(95, 6, 85, 3));
    ASSERT_TRUE(shows("cdma_rssi-value", "-95"));
    EXPECT_EQ(text("cdma_rssi-peak") + " " + text("cdma_rssi-delta"), "-90 \u22125");
    EXPECT_EQ(text("hdr_rssi-peak") + " " + text("hdr_rssi-delta"), "-80 \u22125");
    EXPECT_EQ(text("cdma_ecio-peak") + " " + text("cdma_ecio-delta"), "8 \u22122");
    browser.evaluate(page, "document.getElementById('reset-peaks').click(), ''");
    EXPECT_EQ(text("cdma_rssi-peak") + " " + text("cdma_rssi-delta"), "-95 0");
    EXPECT_EQ(text("hdr_ecio-peak") + " " + text("hdr_ecio-delta"), "3 0");

    // Mute: stale, with the reason; back: live again, with a gap between.
    gateway.modem.answer(kSignal, SimulatedModem::mute());
    ASSERT_TRUE(
        browser.waitFor(page, "document.getElementById('state').dataset.state === 'stale'", 8s));
    EXPECT_TRUE(shows("reason", "no reply within 1 second"));
    EXPECT_EQ(text("cdma_rssi-value"), "--");
    gateway.modem.answer(kSignal, signalReply(92, 7, 82, 5));
    ASSERT_TRUE(shows("cdma_rssi-value", "-92"));
    EXPECT_TRUE(shows("state-text", "LIVE"));
    EXPECT_EQ(text("cdma_rssi-peak") + " " + text("cdma_rssi-delta"), "-92 0");
    // The first point after the failed samples starts a piece of its own:
    // no line is drawn across them. (A slow poll may break a piece too, so
    // the pieces are not counted.) -92 and -82 dBm lie at 119.0 and 90.7.
    for (const auto& [history, y] :
         {std::pair{"history-cdma_rssi", "119.0"}, std::pair{"history-hdr_rssi", "90.7"}}) {
        const std::string path = "document.getElementById('" + std::string(history) + "')";
        EXPECT_EQ(browser.evaluate(page, "(" + path + ".getAttribute('d').match(/[ML][0-9.]+ " + y +
                                             "/) || ['none'])[0][0]"),
                  "M")
            << browser.evaluate(page, path + ".getAttribute('d')");
    }

    browser.evaluate(page,
                     "document.getElementById('mark-label').value = 'north', "
                     "document.getElementById('mark').click(), ''");
    EXPECT_EQ(browser.evaluate(page,
                               "document.querySelector('#marks li').dataset.label + ' ' + "
                               "document.querySelector('#marks li').dataset.cdmaPeak"),
              "north -90");

    const std::string csv = browser.evaluate(page, "csvText()");
    EXPECT_EQ(csv.rfind("time,cdma_rssi,cdma_ecio,hdr_rssi,hdr_ecio,error\r\n", 0), 0u) << csv;
    const std::regex row(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z,(.*)\r\n)");
    std::vector<std::string> kinds;  // each run of equal rows once
    for (std::sregex_iterator it(csv.begin(), csv.end(), row), end; it != end; ++it) {
        if (kinds.empty() || kinds.back() != (*it)[1]) {
            kinds.push_back((*it)[1]);
        }
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"-90,8,-80,4,", "-95,6,-85,3,",
                                               ",,,,\"no reply within 1 second\"", "-92,7,-82,5,"}))
        << csv;

    if (const char* file = std::getenv("QUORVEX_SCREENSHOT")) {
        writeFileText(file, browser.screenshot(page));
    }
}

}  // namespace
