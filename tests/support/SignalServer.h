// Debian's BusyBox httpd serving the signal page and its CGI from the
// sandbox of a SignalGateway, on a loopback port of its own, and a plain
// HTTP client for it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "sim/ChildProcess.h"
#include "support/SignalGateway.h"

constexpr const char* kBusyBox = "/bin/busybox";

// A loopback port nobody listens on now.
inline int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// `request` sent whole to the port; the reply up to the server's close,
// "" when it does not connect.
inline std::string httpExchange(int port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{15, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return reply;
}

inline std::string httpGet(int port, const std::string& path) {
    return httpExchange(port, "GET " + path + " HTTP/1.0\r\nHost: gateway\r\n\r\n");
}

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
