#include "sim/BusyBoxHttpd.h"

#include <unistd.h>

#include "sim/Loopback.h"

namespace {

constexpr const char* kBusyBox = "/bin/busybox";

}  // namespace

std::string BusyBoxHttpd::unavailableReason() {
    if (!ProbeSandbox::unavailableReason().empty()) {
        return ProbeSandbox::unavailableReason();
    }
    return ::access(kBusyBox, X_OK) == 0
               ? ""
               : std::string(kBusyBox) + " is missing (Debian package busybox)";
}

BusyBoxHttpd::BusyBoxHttpd(const ProbeSandbox& sandbox, const std::string& root,
                           const std::string& log)
    : listening(freeLoopbackPort()),
      process(sandbox.command({kBusyBox, "httpd", "-f", "-p",
                               "127.0.0.1:" + std::to_string(listening), "-h", root}),
              log),
      ready(awaitHttp(process, listening, "/")) {}

std::string BusyBoxHttpd::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(listening) + path;
}
