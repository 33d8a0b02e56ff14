#include "cardtool/watch/WatchLog.h"

#include "card/Diagnostics.h"
#include "cardtool/StateFormat.h"

namespace CardTool {

namespace {

std::string plainLine(const SignalSample& sample) {
    std::string line = sample.time;
    if (!sample.failure.empty()) {
        return line + " error=\"" + sample.failure + "\"\n";
    }
    for (std::size_t i = 0; i < kSignalValues; ++i) {
        line += std::string(" ") + kSignalFields[i].reading.key + '=' +
                std::to_string(sample.values[i]);
    }
    return line + '\n';
}

std::string jsonLine(const SignalSample& sample) {
    // formatJson gives "{...}\n": the time goes first inside it.
    return "{\"time\": \"" + sample.time + "\", " + formatJson(sampleReadings(sample)).substr(1);
}

class WatchLog : public WatchOutput {
public:
    WatchLog(Text::Out& out, Text::Out& err, bool json) : out(out), err(err), json(json) {}

    void start(const WatchStart& start) override {
        err << "quorvexcard: watching " << describeStart(start) << Text::endl;
    }

    void sample(const SignalSample& sample, const SignalStats&,
                std::chrono::milliseconds) override {
        out << (json ? jsonLine(sample) : plainLine(sample)) << Text::flush;
    }

    void finish(const SignalStats& stats, std::chrono::milliseconds) override {
        err << formatSummary(stats) << Text::flush;
    }

    void away(const std::string& port, const std::string& reason, const std::string&) override {
        err << "quorvexcard: " << port << ": " << reason << "; looking for it again at each sample"
            << Text::endl;
    }

    void back(const std::string& port, const std::string& model, const std::string&) override {
        err << "quorvexcard: the modem is back on " << port << ", model " << model << Text::endl;
    }

    void note(const std::string& line) override { Diagnostics::toOut(&err, line, 0); }

private:
    Text::Out& out;
    Text::Out& err;
    bool json;
};

}  // namespace

std::unique_ptr<WatchOutput> makeWatchLog(Text::Out& out, Text::Out& err, bool json) {
    return std::make_unique<WatchLog>(out, err, json);
}

std::string formatSummary(const SignalStats& stats) {
    std::string text = "quorvexcard: samples " + countsText(stats) + "\n" +
                       padded("", kLabelWidth) + kStatsHeading + "\n";
    for (std::size_t i = 0; i < kSignalValues; ++i) {
        text += padded(kSignalFields[i].reading.label, kLabelWidth) +
                statsColumns(stats.values[i]) + '\n';
    }
    return text;
}

}  // namespace CardTool
