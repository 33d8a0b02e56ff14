#include "sim/NodeExporter.h"

#include <unistd.h>

#include "sim/Loopback.h"

namespace {

constexpr const char* kExporterPath = "/usr/bin/prometheus-node-exporter";

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
      ready(awaitHttp(process, port, "/metrics")) {}

std::string NodeExporter::metrics() const {
    return httpGet(port, "/metrics", std::chrono::seconds(5));
}
