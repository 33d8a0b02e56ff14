#include "cardtool/CardTool.h"

#include <chrono>
#include <cstdlib>

#include "card/PortDiscovery.h"
#include "card/WirelessCard.h"
#include "cardtool/CardState.h"
#include "cardtool/CardToolOptions.h"
#include "cardtool/FrameTrace.h"
#include "cardtool/OutputFile.h"
#include "cardtool/PortGivenBack.h"
#include "cardtool/PrometheusFormat.h"
#include "cardtool/StateFormat.h"
#include "cardtool/cgi/SignalCgi.h"
#include "cardtool/check/Check.h"
#include "cardtool/check/CheckFormat.h"
#include "cardtool/watch/Watch.h"
#include "cns/CnsErrors.h"

namespace CardTool {

namespace {

constexpr const char* kName = "quorvexcard: ";

// A technician may wait a few seconds for a query while the cron probe has
// the port; between two queries the tool leaves the port free for a moment,
// so that the probe is never starved by a whole run of them.
constexpr LockWait kToolLockWait = {std::chrono::seconds(3), std::chrono::milliseconds::max(),
                                    std::chrono::milliseconds(15)};

std::string format(const CardState& state, const Options& options) {
    return options.json ? formatJson(state) : formatText(state);
}

// The output on standard output, or in place of the --output file; a file
// that cannot be written is the outcome then.
int emit(const std::string& text, int status, const Options& options, Text::Out& out,
         Text::Out& err) {
    if (!options.output) {
        out << text << Text::flush;
        return status;
    }
    const std::string failure = replaceFile(*options.output, text);
    if (failure.empty()) {
        return status;
    }
    err << kName << "cannot write " << *options.output << ": " << failure << Text::endl;
    return kOutputFailed;
}

int showState(WirelessCard& card, const Options& options, Text::Out& out, Text::Out& err) {
    const auto start = std::chrono::steady_clock::now();
    const CardState state = collectCardState(card);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::string text = options.prometheus
                                 ? formatPrometheus(state, card.portPath(), took.count())
                                 : format(state, options);
    return emit(text, everyQueryAnswered(state) ? kAllAnswered : kQueryFailed, options, out, err);
}

// With --prometheus a missing port is written too (quorvex_up 0), so that
// the file of an earlier run does not go on showing a modem that is gone.
int noPort(const Options& options, Text::Out& out, Text::Out& err) {
    if (!options.prometheus) {
        return kNoPort;
    }
    return emit(formatPrometheus({}, options.device.value_or(""), 0), kNoPort, options, out, err);
}

int setHybrid(WirelessCard& card, const Options& options, Text::Out& out, Text::Out& err) {
    const bool on = *options.hybridPreference;
    const std::string setFailure = sendHybridPreference(card, on);
    if (!setFailure.empty()) {
        err << kName << "setting hybrid mode failed: " << setFailure << Text::endl;
    }
    // Read back even when the setting failed: the mode in force is worth seeing.
    const HybridMode mode = readHybridMode(card);
    if (setFailure.empty() && mode.on && *mode.on != on) {
        err << kName << "the modem kept hybrid mode " << (on ? "off" : "on") << Text::endl;
    }
    return emit(format(mode.state, options),
                setFailure.empty() && mode.on == on ? kAllAnswered : kQueryFailed, options, out,
                err);
}

int check(WirelessCard& card, const Options& options, Text::Out& out, Text::Out& err) {
    const CheckReport report = runCheck(card, options.device);
    return emit(options.json ? formatCheckJson(report) : formatCheckText(report),
                checkExitStatus(report), options, out, err);
}

// Says on `err` why the driver list names no port.
bool modemListed(Text::Out& err) {
    const PortDiscovery::ListedPort listed = PortDiscovery::readListedPort();
    const std::string unlisted = unlistedReason(listed);
    if (!unlisted.empty()) {
        err << kName << unlisted
            << (listed.openError.empty() ? "; name its port with --device"
                                         : "; name the modem's port with --device")
            << Text::endl;
    }
    return unlisted.empty();
}

}  // namespace

int run(const std::vector<std::string>& arguments, Text::Out& out, Text::Out& err) {
    const ParsedOptions parsed = parseOptions(arguments);
    if (!parsed.error.empty()) {
        err << kName << parsed.error << "\nTry 'quorvexcard --help'." << Text::endl;
        return kUsageError;
    }
    const Options& options = parsed.options;
    if (options.help) {
        out << kUsage << Text::flush;
        return kAllAnswered;
    }
    WirelessCard card;
    card.setLockWait(kToolLockWait);
    card.reportTo({Diagnostics::toOut, &err});
    if (options.trace) {
        traceFrames(card, err);
    }
    if (options.cgi) {
        out << answerSignalRequest(card, options, std::getenv("REQUEST_METHOD")) << Text::flush;
        return kAllAnswered;
    }
    if (options.check) {
        return check(card, options, out, err);
    }
    if (!options.device && !modemListed(err)) {
        return noPort(options, out, err);
    }
    try {
        const PortGivenBack givenBack(card);
        openPort(card, options.device);
        if (options.watch) {
            return watch(card, options, out, err);
        }
        return options.hybridPreference ? setHybrid(card, options, out, err)
                                        : showState(card, options, out, err);
    } catch (const CnsErrors::ReturnErrors&) {
        // Only the open throws this far: every query catches its own.
        err << kName << "the modem's port did not open" << Text::endl;
        return noPort(options, out, err);
    }
}

}  // namespace CardTool
