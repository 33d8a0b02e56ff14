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
    "       quorvexcard [--device PATH] --cgi [--interval SECONDS]\n"
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
    "  --cgi                answer one request of the signal page as a CGI program\n"
    "                       run by a web server (BusyBox httpd): the latest\n"
    "                       sample as JSON, sampled anew at most once per interval\n"
    "                       whatever the number of viewers\n"
    "  --interval SECONDS   with --watch or --cgi: from one sample's start to the\n"
    "                       next, 0.1 to 3600 (default 1)\n"
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

// The modes an option's value belongs to; kAnyMode for the others.
enum Modes : unsigned { kAnyMode = 0, kWatchMode = 1, kCgiMode = 2 };

unsigned modesOf(const Options& options) {
    return (options.watch ? kWatchMode : 0u) | (options.cgi ? kCgiMode : 0u);
}

// Every option: a switch, or one that takes a value. To add one, add its
// field to Options, a row here and a line to kUsage.
struct Option {
    const char* name;
    Switch set;
    Reader read;
    unsigned modes = kAnyMode;  // a value of these modes only
};
constexpr Option kOptions[] = {
    {"--device", nullptr, readDevice, kAnyMode},
    {"--json", [](Options& o) { o.json = true; }, nullptr, kAnyMode},
    {"--trace", [](Options& o) { o.trace = true; }, nullptr, kAnyMode},
    {"--set-hybrid", nullptr, readHybrid, kAnyMode},
    {"--check", [](Options& o) { o.check = true; }, nullptr, kAnyMode},
    {"--watch", [](Options& o) { o.watch = true; }, nullptr, kAnyMode},
    {"--interval", nullptr, readInterval, kWatchMode | kCgiMode},
    {"--count", nullptr, readCount, kWatchMode},
    {"--output", nullptr, readOutput, kAnyMode},
    {"--prometheus", [](Options& o) { o.prometheus = true; }, nullptr, kAnyMode},
    {"--cgi", [](Options& o) { o.cgi = true; }, nullptr, kAnyMode},
    {"--help", [](Options& o) { o.help = true; }, nullptr, kAnyMode},
    {"-h", [](Options& o) { o.help = true; }, nullptr, kAnyMode},
};

const Option* findOption(const std::string& name) {
    for (const Option& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

// "option --count goes with --watch" when a mode's value came without it;
// the last such option named is the one said.
std::string outOfMode(const Options& options, const std::vector<const Option*>& given) {
    for (auto it = given.rbegin(); it != given.rend(); ++it) {
        const Option* const option = *it;
        if ((option->modes & modesOf(options)) == 0) {
            return std::string("option ") + option->name + " goes with " +
                   (option->modes & kCgiMode ? "--watch or --cgi" : "--watch");
        }
    }
    return {};
}

// The modes that do not go together, in the order they are named.
std::string conflictOf(const Options& options, const std::vector<const Option*>& given) {
    // The page's CGI answers one request the same way whatever else is asked.
    if (options.cgi && (options.json || options.prometheus || options.output || options.trace ||
                        options.hybridPreference || options.check || options.watch)) {
        return "--cgi takes only --device and --interval";
    }
    if (options.check && options.hybridPreference) {
        return "--check and --set-hybrid do not go together";
    }
    const std::string modeless = outOfMode(options, given);
    if (!modeless.empty()) {
        return modeless;
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
    std::vector<const Option*> modeValues;  // given options with a mode of their own
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
            if (option->modes != kAnyMode) {
                modeValues.push_back(option);
            }
        }
    }
    if (parsed.error.empty()) {
        parsed.error = conflictOf(parsed.options, modeValues);
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
