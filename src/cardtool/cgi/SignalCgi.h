// quorvexcard --cgi: one request of the signal page (signal.html), answered
// as BusyBox httpd runs a CGI program: the request method in the
// environment, the response's headers and body on standard output.
//
// GET gets the latest signal sample as JSON, HEAD the same headers alone,
// anything else 405. The query string and the request body are never read.
// Every request of every viewer shares one sample (SharedSample): one that
// finds it fresh (taken less than --interval ago) serves it; the first to
// find it stale takes the sampler's lock without waiting and samples once,
// opening the port anew (the driver list's, or --device), so that a modem
// that went away is picked up again where it comes back; the others serve
// what is there. The modem is sent the signal query, and the model name
// query only when the port is new to the sample or the modem went away.
//
// The JSON, keys in this order: time, age_seconds, interval_seconds, port,
// model_name, cdma_rssi, cdma_ecio, hdr_rssi, hdr_ecio, cdma_quality,
// hdr_quality (the watch's words), errors. A value that is not known is
// null, and errors maps model_name and each signal key that is null to why
// (the watch's reasons; "no modem listed in /proc/tty/driver/usbserial"
// with no modem, port null then).
#pragma once

#include <string>

#include "card/WirelessCard.h"
#include "cardtool/CardToolOptions.h"

namespace CardTool {

// The whole response to a request whose REQUEST_METHOD is `method`
// (nullptr: unset), for a card that is not open; its notes (a sample file
// that cannot be written) go to the card's reporter.
std::string answerSignalRequest(WirelessCard& card, const Options& options, const char* method);

}  // namespace CardTool
