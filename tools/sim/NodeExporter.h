// Prometheus' node_exporter (Debian's prometheus-node-exporter) on a loopback
// port of its own, reading one textfile directory, its output in a log;
// stopped and waited for on every road out.
#pragma once

#include <string>

#include "sim/ChildProcess.h"

class NodeExporter {
public:
    // "" when the exporter is installed here, otherwise why not.
    static std::string unavailableReason();

    NodeExporter(const std::string& textfiles, const std::string& log);
    NodeExporter(const NodeExporter&) = delete;
    NodeExporter& operator=(const NodeExporter&) = delete;

    // Whether it answers; when not, its log says why.
    bool isReady() const { return ready; }
    // The whole reply to GET /metrics over HTTP/1.0, "" when nobody answers.
    std::string metrics() const;

private:
    int port;
    ChildProcess process;
    bool ready;
};
