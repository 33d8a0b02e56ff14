#include "cardtool/CardToolOptions.h"

#include <algorithm>
#include <cstddef>

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

constexpr unsigned long long kShortestIntervalMs = 100;
constexpr unsigned long long kLongestIntervalMs = 3600 * 1000;
constexpr std::size_t kMostDigits = 9;  // in the whole part of a number

// A plain decimal number with at most `places` decimals, scaled by
// 10^places: "0.25" with 3 places is 250. None for anything else.
std::optional<unsigned long long> scaledDecimal(const std::string& text, std::size_t places) {
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string whole = text.substr(0, point);
    std::string decimals = point < text.size() ? text.substr(point + 1) : "";
    const auto digitsOnly = [](const std::string& part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > kMostDigits || !digitsOnly(whole) ||
        !digitsOnly(decimals) || decimals.size() > places ||
        (point < text.size() && decimals.empty())) {
        return std::nullopt;
    }
    decimals.resize(places, '0');
    unsigned long long value = 0;
    for (const char digit : whole + decimals) {
        value = value * 10 + static_cast<unsigned>(digit - '0');
    }
    return value;
}

// Each stores its option in `options`; a value's reader returns "" or the
// usage error.
using Reader = std::string (*)(const std::string& value, Options& options);
using Switch = void (*)(Options& options);

std::string readDevice(const std::string& value, Options& options) {
    options.device = value;
    return {};
}

std::string readHybrid(const std::string& value, Options& options) {
    if (value == "on" || value == "off") {
        options.hybridPreference = value == "on";
        return {};
    }
    return "--set-hybrid takes on or off, not '" + value + "'";
}

std::string readInterval(const std::string& value, Options& options) {
    const auto ms = scaledDecimal(value, 3);
    if (!ms || *ms < kShortestIntervalMs || *ms > kLongestIntervalMs) {
        return "--interval takes seconds from 0.1 to 3600 (at most three decimals), not '" + value +
               "'";
    }
    options.interval = std::chrono::milliseconds(*ms);
    return {};
}

std::string readOutput(const std::string& value, Options& options) {
    options.output = value;
    return {};
}

std::string readCount(const std::string& value, Options& options) {
    const auto count = scaledDecimal(value, 0);
    if (!count || *count == 0) {
        return "--count takes a whole number of samples from 1, not '" + value + "'";
    }
    options.count = static_cast<unsigned long>(*count);
    return {};
}

// Every option: a switch, or one that takes a value. To add one, add its
// field to Options, a row here and a line to kUsage.
struct Option {
    const char* name;
    Switch set;
    Reader read;
    bool watchOnly = false;  // a value of --watch's
};
constexpr Option kOptions[] = {
    {"--device", nullptr, readDevice, false},
    {"--json", [](Options& o) { o.json = true; }, nullptr, false},
    {"--trace", [](Options& o) { o.trace = true; }, nullptr, false},
    {"--set-hybrid", nullptr, readHybrid, false},
    {"--check", [](Options& o) { o.check = true; }, nullptr, false},
    {"--watch", [](Options& o) { o.watch = true; }, nullptr, false},
    {"--interval", nullptr, readInterval, true},
    {"--count", nullptr, readCount, true},
    {"--output", nullptr, readOutput, false},
    {"--prometheus", [](Options& o) { o.prometheus = true; }, nullptr, false},
    {"--help", [](Options& o) { o.help = true; }, nullptr, false},
    {"-h", [](Options& o) { o.help = true; }, nullptr, false},
};

const Option* findOption(const std::string& name) {
    for (const Option& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

// The modes that do not go together, in the order they are named.
std::string conflictOf(const Options& options, const std::string& watchValueGiven) {
    if (options.check && options.hybridPreference) {
        return "--check and --set-hybrid do not go together";
    }
    if (!watchValueGiven.empty() && !options.watch) {
        return "option " + watchValueGiven + " goes with --watch";
    }
    if (options.watch && (options.hybridPreference || options.check)) {
        return std::string("--watch and ") + (options.check ? "--check" : "--set-hybrid") +
               " do not go together";
    }
    return {};
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
    std::string watchValueGiven;  // the last of --interval or --count
    for (std::size_t i = 0; i < arguments.size() && parsed.error.empty(); ++i) {
        const std::string& argument = arguments[i];
        const Option* const option = findOption(argument);
        if (option == nullptr) {
            parsed.error = argument.rfind('-', 0) == 0 ? "unknown option " + argument
                                                       : "unexpected argument '" + argument + "'";
        } else if (option->set != nullptr) {
            option->set(parsed.options);
        } else if (i + 1 == arguments.size()) {
            parsed.error = "option " + argument + " needs a value";
        } else {
            parsed.error = option->read(arguments[++i], parsed.options);
            if (option->watchOnly) {
                watchValueGiven = argument;
            }
        }
    }
    if (parsed.error.empty()) {
        parsed.error = conflictOf(parsed.options, watchValueGiven);
    }
    if (parsed.error.empty()) {
        parsed.error = outputConflict(parsed.options);
    }
    return parsed;
}

std::vector<std::string> argumentsAfterName(int argc, const char* const* argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

}  // namespace CardTool
