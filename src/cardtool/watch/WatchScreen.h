// quorvexcard --watch on a terminal: one screen redrawn in place after each
// sample with ANSI escape sequences. Per value the current reading, a bar,
// for RSSI a quality word, and min / mean / max since the start; a footer
// with the counts, the elapsed time and how to stop, and above it, once the
// modem went away, since when it is away or where it is back.
//
// The screen is drawn from the top-left corner and ends by erasing what lies
// below it. The card's diagnostic lines are shown below the footer, with
// the sample they came with, instead of scrolling the terminal; they go to
// `err` as well when it is not a terminal (a log of them). The cursor is
// hidden while the screen runs and shown again on every road out (the
// destructor).
#pragma once

#include <memory>

#include "cardtool/watch/WatchSample.h"
#include "text/TextOut.h"

namespace CardTool {

std::unique_ptr<WatchOutput> makeWatchScreen(Text::Out& out, Text::Out& err);

}  // namespace CardTool
