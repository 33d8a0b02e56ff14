#include "cardtool/watch/WatchScreen.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "card/Diagnostics.h"

namespace CardTool {

namespace {

constexpr const char* kHideCursor = "\033[?25l";
constexpr const char* kShowCursor = "\033[?25h";
constexpr const char* kClearScreen = "\033[2J";
constexpr const char* kHome = "\033[H";
constexpr const char* kEndOfLine = "\033[K\n";  // erases what an earlier line left
constexpr const char* kEraseBelow = "\033[J";

// The RSSI bar runs from -110 dBm (empty) to -50 dBm (full).
constexpr int kBarEmptyDbm = -110;
constexpr int kBarFullDbm = -50;
constexpr int kBarCells = 20;
constexpr std::size_t kBarWidth = kBarCells + 2;
constexpr std::size_t kQualityWidth = 10;

// `fraction` of the bar filled: [#########-----------].
std::string bar(double fraction) {
    const int filled = static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * kBarCells));
    return '[' + std::string(filled, '#') + std::string(kBarCells - filled, '-') + ']';
}

// RSSI on its fixed dBm scale. Ec/Io has no unit the card states, so its
// bar places the reading between the lowest and highest seen so far.
std::string valueBar(const SignalField& field, int value, const RunningStats& stats) {
    if (field.isRssi) {
        return bar(static_cast<double>(value - kBarEmptyDbm) / (kBarFullDbm - kBarEmptyDbm));
    }
    return bar(stats.max == stats.min
                   ? 1.0
                   : static_cast<double>(value - stats.min) / (stats.max - stats.min));
}

std::string valueLine(std::size_t i, const SignalSample& sample, const SignalStats& stats) {
    const SignalField& field = kSignalFields[i];
    std::string line = padded(field.reading.label, kLabelWidth);
    if (sample.failure.empty()) {
        const int value = sample.values[i];
        char now[16];
        std::snprintf(now, sizeof now, "%4d  ", value);
        line += now + valueBar(field, value, stats.values[i]) + "  " +
                padded(field.isRssi ? rssiQuality(value, field.isHdr) : "", kQualityWidth);
    } else {
        line += "  --  " + padded(sample.failure, kBarWidth + 2 + kQualityWidth);
    }
    return line + statsColumns(stats.values[i]);
}

class WatchScreen : public WatchOutput {
public:
    WatchScreen(Text::Out& out, Text::Out& err)
        : out(out),
          err(err),
          errIsTerminal(err.descriptor() >= 0 && ::isatty(err.descriptor()) == 1) {}
    ~WatchScreen() override {
        if (cursorHidden) {
            out << kShowCursor << Text::flush;
        }
    }
    WatchScreen(const WatchScreen&) = delete;
    WatchScreen& operator=(const WatchScreen&) = delete;

    void start(const WatchStart& start) override {
        started = start;
        header = "quorvexcard --watch: " + describeStart(start);
        cursorHidden = true;
        out << kHideCursor << kClearScreen;
        draw({header, "", "waiting for the first sample"});
        notes.clear();
    }

    void sample(const SignalSample& sample, const SignalStats& stats,
                std::chrono::milliseconds elapsed) override {
        drawValues(sample, stats,
                   countsText(stats) + ", elapsed " + elapsedText(elapsed) + ". Ctrl-C stops.");
        last = sample;
        notes.clear();
    }

    void finish(const SignalStats& stats, std::chrono::milliseconds elapsed) override {
        drawValues(
            last, stats,
            "Stopped after " + elapsedText(elapsed) + ": samples " + countsText(stats) + ".");
        out << kShowCursor << Text::flush;
        cursorHidden = false;
    }

    void away(const std::string&, const std::string& reason, const std::string& since) override {
        state = reason + " at " + since + "; looking for it at each sample";
    }

    void back(const std::string& port, const std::string& model,
              const std::string& since) override {
        started.port = port;
        started.model = model;
        header = "quorvexcard --watch: " + describeStart(started);
        state = "the modem is back on " + port + " since " + since;
    }

    void note(const std::string& line) override {
        notes.push_back(line);
        if (!errIsTerminal) {
            Diagnostics::toOut(&err, line, 0);
        }
    }

private:
    void drawValues(const SignalSample& sample, const SignalStats& stats,
                    const std::string& footer) {
        std::vector<std::string> lines = {header, "",
                                          padded("", kLabelWidth) + " now  " +
                                              padded("signal", kBarWidth + 2) +
                                              padded("quality", kQualityWidth) + kStatsHeading};
        for (std::size_t i = 0; i < kSignalValues; ++i) {
            lines.push_back(valueLine(i, sample, stats));
        }
        lines.emplace_back("");
        if (!state.empty()) {
            lines.push_back(state);
        }
        lines.push_back(footer);
        draw(lines);
    }

    void draw(const std::vector<std::string>& lines) {
        std::string screen = kHome;
        for (const std::string& line : lines) {
            screen += line + kEndOfLine;
        }
        for (const std::string& line : notes) {
            screen += line + kEndOfLine;
        }
        out << screen + kEraseBelow << Text::flush;
    }

    Text::Out& out;
    Text::Out& err;
    const bool errIsTerminal;
    std::vector<std::string> notes;  // since the last screen
    WatchStart started{};
    std::string header;
    std::string state;  // the modem away or back, once it went away
    SignalSample last{"", {}, "no sample taken", {}};
    bool cursorHidden = false;
};

}  // namespace

std::unique_ptr<WatchOutput> makeWatchScreen(Text::Out& out, Text::Out& err) {
    return std::make_unique<WatchScreen>(out, err);
}

}  // namespace CardTool
