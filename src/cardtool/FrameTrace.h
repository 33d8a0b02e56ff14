// --trace: every frame the card writes or reads, in hex, one line each.
//
//   > 7E 00 0A 2B ...   the request as written
//   < 7E 00 0C 2B ...   the reply as read
//   <= 7E 00 0C 2B ...  the reply unescaped
#pragma once

#include "card/WirelessCard.h"
#include "text/TextOut.h"

namespace CardTool {

// Shows the card's frames on `trace` until the card is destroyed.
void traceFrames(WirelessCard& card, Text::Out& trace);

}  // namespace CardTool
