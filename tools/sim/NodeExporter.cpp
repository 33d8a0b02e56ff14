#include "sim/NodeExporter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr const char* kExporterPath = "/usr/bin/prometheus-node-exporter";

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port nobody listens on now.
int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : -1;
}

std::string scrape(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    const timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return reply;
}

}  // namespace

std::string NodeExporter::unavailableReason() {
    return ::access(kExporterPath, X_OK) == 0
               ? ""
               : std::string(kExporterPath) +
                     " is missing (Debian package prometheus-node-exporter)";
}

NodeExporter::NodeExporter(const std::string& textfiles, const std::string& log)
    : port(freeLoopbackPort()),
      process({kExporterPath, "--web.listen-address=127.0.0.1:" + std::to_string(port),
               "--collector.disable-defaults", "--collector.textfile",
               "--collector.textfile.directory=" + textfiles},
              log),
      ready(awaitListening()) {}

std::string NodeExporter::metrics() const {
    return scrape(port);
}

bool NodeExporter::awaitListening() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (process.running() && std::chrono::steady_clock::now() < deadline) {
        if (!scrape(port).empty()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}
