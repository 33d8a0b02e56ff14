// The card's state in the Prometheus text exposition format (version 0.0.4),
// for node_exporter's textfile collector and the like: a gauge per value,
// whether each query was answered, whether all were, and how long the
// collection took. The metrics are listed in quorvexcard(1).
#pragma once

#include <string>

#include "cardtool/CardState.h"

namespace CardTool {

// Every sample carries the label port="<port>". A failed query's values are
// left out (its quorvex_query_success is 0). An empty state stands for a
// port that did not open: quorvex_up 0 alone.
std::string formatPrometheus(const CardState& state, const std::string& port, double seconds);

}  // namespace CardTool
