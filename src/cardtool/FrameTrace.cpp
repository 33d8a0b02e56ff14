#include "cardtool/FrameTrace.h"

#include <cstdio>
#include <string>

#include "card/Diagnostics.h"

namespace CardTool {

namespace {

const char* marker(WirelessCard::FrameDirection direction) {
    switch (direction) {
        case WirelessCard::FrameDirection::Request:
            return ">";
        case WirelessCard::FrameDirection::Reply:
            return "<";
        case WirelessCard::FrameDirection::UnescapedReply:
            return "<=";
    }
    return "?";
}

void showFrame(void* context, WirelessCard::FrameDirection direction, const unsigned char* bytes,
               std::size_t count) {
    std::string line = marker(direction);
    for (std::size_t i = 0; i < count; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, " %02X", bytes[i]);
        line += pair;
    }
    Diagnostics::toOut(context, line, 0);
}

}  // namespace

void traceFrames(WirelessCard& card, Text::Out& trace) {
    card.observeFrames(showFrame, &trace);
}

}  // namespace CardTool
