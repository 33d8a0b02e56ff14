// Diagnostic lines: one line per event, a fixed text, sometimes followed by
// the system's error text. The card reports through the sink it is given
// (standard error unless its program routes them elsewhere); each event
// carries errno when a system call failed, so that a caller need not read
// errno after the event has passed through other calls.
#pragma once

#include <string>

namespace Diagnostics {

// Receives each event: its line, and errno when a system call failed (0
// otherwise).
using Sink = void (*)(void* context, const std::string& line, int errorNumber);

// The line on the Text::Out that `context` points to, in one piece.
void toOut(void* context, const std::string& line, int errorNumber);
// The default sink: the line on standard error, in one write.
void toStandardError(void* context, const std::string& line, int errorNumber);

class Reporter {
public:
    Reporter() = default;
    Reporter(Sink sink, void* context) : sink(sink), context(context) {}

    void event(const std::string& text, int errorNumber) const { sink(context, text, errorNumber); }
    void line(const std::string& text) const { event(text, 0); }
    // `prefix` followed by strerror(errno); errno goes with the event.
    void systemError(std::string prefix) const;

private:
    Sink sink = toStandardError;
    void* context = nullptr;
};

// Through the default sink, for code that is given none.
void reportLine(const std::string& line);
void reportSystemError(const std::string& prefix);

}  // namespace Diagnostics
