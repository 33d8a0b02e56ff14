// Debian's BusyBox httpd on a loopback port of its own, run in a sandbox so
// that it and its CGI programs see the sandbox's files: it serves the
// directory `root` as the sandbox shows it, its output in a log; stopped and
// waited for on every road out.
#pragma once

#include <string>

#include "sim/ChildProcess.h"
#include "sim/Sandbox.h"

class BusyBoxHttpd {
public:
    // "" when the server and sandboxes are there, otherwise why not.
    static std::string unavailableReason();

    BusyBoxHttpd(const ProbeSandbox& sandbox, const std::string& root, const std::string& log);
    BusyBoxHttpd(const BusyBoxHttpd&) = delete;
    BusyBoxHttpd& operator=(const BusyBoxHttpd&) = delete;

    // Whether it answers; when not, its log says why.
    bool isReady() const { return ready; }
    int port() const { return listening; }
    std::string url(const std::string& path) const;

private:
    int listening;
    ChildProcess process;
    bool ready;
};
