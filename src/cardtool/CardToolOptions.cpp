#include "cardtool/CardToolOptions.h"

#include <cstddef>

#include "cardtool/Watch.h"

namespace CardTool {

const char* const kUsage =
    "Usage: quorvexcard [--device PATH] [--json | --prometheus] [--trace] [--output PATH]\n"
    "       quorvexcard [--device PATH] [--json] [--trace] [--output PATH] --set-hybrid on|off\n"
    "       quorvexcard [--device PATH] [--json] [--trace] [--output PATH] --check\n"
    "       quorvexcard [--device PATH] [--json] [--trace] --watch [--interval SECONDS]\n"
    "                   [--count N]\n"
    "       quorvexcard --help\n"
    "\n"
    "Shows the state of the CDMA/HDR modem: type and model, activation, service,\n"
    "RSSI and Ec/Io, band class, roaming, HDR state and hybrid mode.\n"
    "\n"
    "  --device PATH        use this serial port instead of the one found in\n"
    "                       /proc/tty/driver/usbserial\n"
    "  --json               print one JSON object instead of labelled lines\n"
    "  --prometheus         print the state as Prometheus metrics (text format\n"
    "                       0.0.4), for node_exporter's textfile collector\n"
    "  --output PATH        write the output to PATH instead of standard output,\n"
    "                       whole or not at all (a new file renamed over PATH;\n"
    "                       a symbolic link or other non-regular file is refused)\n"
    "  --set-hybrid on|off  set the HDR hybrid preference, then read the hybrid\n"
    "                       mode back and print it\n"
    "  --check              walk the probe's whole chain (driver list, port, modem,\n"
    "                       metrics file, schedule) and say which link is broken\n"
    "  --trace              every frame in hex on standard error: '>' request,\n"
    "                       '<' reply as received, '<=' reply unescaped\n"
    "  --watch              sample the RSSI and Ec/Io values until stopped (Ctrl-C):\n"
    "                       a live meter on a terminal, one line per sample\n"
    "                       otherwise (JSON Lines with --json)\n"
    "  --interval SECONDS   with --watch: from one sample's start to the next,\n"
    "                       0.1 to 3600 (default 1)\n"
    "  --count N            with --watch: stop after N samples\n"
    "  --help, -h           this text\n"
    "\n"
    "Exit status: 0 every query answered, 1 some query failed (or the setting\n"
    "did not take; with --watch: no sample answered), 2 usage error, 3 no modem\n"
    "port found or it did not open, 5 the --output file could not be written.\n"
    "With --check: 0 every check ok, 1 warnings only, 4 some check failed.\n";

namespace {

std::optional<bool> onOrOff(const std::string& word) {
    if (word == "on") {
        return true;
    }
    if (word == "off") {
        return false;
    }
    return std::nullopt;
}

// --prometheus is the card's state only, and --output takes one-shot outputs.
std::string outputConflict(const Options& options) {
    if (options.output && options.watch) {
        return "--watch and --output do not go together";
    }
    const char* other = options.json               ? "--json"
                        : options.check            ? "--check"
                        : options.hybridPreference ? "--set-hybrid"
                        : options.watch            ? "--watch"
                                                   : nullptr;
    if (options.prometheus && other != nullptr) {
        return std::string("--prometheus and ") + other + " do not go together";
    }
    return {};
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    Options& options = parsed.options;
    std::string watchValueGiven;  // --interval or --count, which need --watch
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        const bool takesValue = argument == "--device" || argument == "--set-hybrid" ||
                                argument == "--interval" || argument == "--count" ||
                                argument == "--output";
        if (takesValue && i + 1 == arguments.size()) {
            parsed.error = "option " + argument + " needs a value";
        } else if (argument == "--device") {
            options.device = arguments[++i];
        } else if (argument == "--set-hybrid") {
            const std::string& word = arguments[++i];
            options.hybridPreference = onOrOff(word);
            if (!options.hybridPreference) {
                parsed.error = "--set-hybrid takes on or off, not '" + word + "'";
            }
        } else if (argument == "--check") {
            options.check = true;
        } else if (argument == "--watch") {
            options.watch = true;
        } else if (argument == "--interval" || argument == "--count") {
            parsed.error = parseWatchValue(argument, arguments[++i], options);
            watchValueGiven = argument;
        } else if (argument == "--output") {
            options.output = arguments[++i];
        } else if (argument == "--prometheus") {
            options.prometheus = true;
        } else if (argument == "--json") {
            options.json = true;
        } else if (argument == "--trace") {
            options.trace = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument.rfind('-', 0) == 0) {
            parsed.error = "unknown option " + argument;
        } else {
            parsed.error = "unexpected argument '" + argument + "'";
        }
    }
    if (parsed.error.empty() && options.check && options.hybridPreference) {
        parsed.error = "--check and --set-hybrid do not go together";
    } else if (parsed.error.empty() && !watchValueGiven.empty() && !options.watch) {
        parsed.error = "option " + watchValueGiven + " goes with --watch";
    } else if (parsed.error.empty() && options.watch &&
               (options.hybridPreference || options.check)) {
        parsed.error = std::string("--watch and ") + (options.check ? "--check" : "--set-hybrid") +
                       " do not go together";
    }
    if (parsed.error.empty()) {
        parsed.error = outputConflict(options);
    }
    return parsed;
}

std::vector<std::string> argumentsAfterName(int argc, const char* const* argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

}  // namespace CardTool
