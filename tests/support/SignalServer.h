// Debian's BusyBox httpd serving the signal page and its CGI from the
// sandbox of a SignalGateway, on a loopback port of its own, and a plain
// HTTP client for it.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "sim/ChildProcess.h"
#include "sim/Loopback.h"
#include "support/SignalGateway.h"

constexpr const char* kBusyBox = "/bin/busybox";

// The server's web root is the sandbox's /tmp/www: signal.html and
// cgi-bin/quorvex-signal as packaged, the script running this build's tool
// (copied into the sandbox) with `interval`.
struct SignalServer {
    static std::string unavailableReason() {
        if (!ProbeSandbox::unavailableReason().empty()) {
            return ProbeSandbox::unavailableReason();
        }
        return std::filesystem::exists(kBusyBox)
                   ? ""
                   : std::string(kBusyBox) + " is missing (Debian package busybox)";
    }

    SignalServer(SignalGateway& gateway, const std::string& interval)
        : port(freeLoopbackPort()), log(gateway.sandbox.tmpDir() + "/httpd.log") {
        const std::string www = gateway.sandbox.tmpDir() + "/www";
        std::filesystem::create_directories(www + "/cgi-bin");
        page = readFileText(QUORVEX_PAGE_DIR "/signal.html");
        writeFileText(www + "/signal.html", page);
        std::string script = readFileText(QUORVEX_PAGE_DIR "/cgi-bin/quorvex-signal");
        const std::string tool = gateway.sandbox.stageProgram(QUORVEX_CARDTOOL_PATH, "quorvexcard");
        script.replace(script.find("/usr/bin/quorvexcard"), 20, tool);
        script.replace(script.find("--interval 1"), 12, "--interval " + interval);
        writeFileText(www + "/cgi-bin/quorvex-signal", script);
        ::chmod((www + "/cgi-bin/quorvex-signal").c_str(), 0755);
        server = std::make_unique<ChildProcess>(
            gateway.sandbox.command({kBusyBox, "httpd", "-f", "-p",
                                     "127.0.0.1:" + std::to_string(port), "-h", "/tmp/www"}),
            log);
        for (int tries = 0; tries < 100 && httpGet(port, "/signal.html").empty(); ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    int port;
    std::string log;
    std::string page;
    std::unique_ptr<ChildProcess> server;
};
