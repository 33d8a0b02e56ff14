// The command line of quorvexcard: which port, which output, whether to
// trace frames and whether to change the hybrid preference.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace CardTool {

struct Options {
    std::optional<std::string> device;  // none: the port the driver list names
    bool json = false;
    bool prometheus = false;            // the Prometheus text format instead
    std::optional<std::string> output;  // --output: replaces this file instead of standard output
    bool trace = false;
    std::optional<bool> hybridPreference;  // set by --set-hybrid on|off
    bool check = false;                    // walk the probe's chain instead
    bool help = false;
    bool watch = false;
    bool cgi = false;                          // answer one request of the signal page
    std::chrono::milliseconds interval{1000};  // --interval, with --watch or --cgi
    unsigned long count = 0;                   // --count, with --watch; 0: until stopped
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line is usable
};

// `arguments` without the program name.
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

// main's arguments after the program name; none when the vector is empty
// (argc 0, which older kernels allow).
std::vector<std::string> argumentsAfterName(int argc, const char* const* argv);

extern const char* const kUsage;

}  // namespace CardTool
