// The state the simulated modem answers with answerScriptedState as the
// tool's Prometheus exposition, and cases that answer some queries otherwise.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cns/CnsObjects.h"
#include "sim/ScriptedState.h"
#include "sim/SimulatedModem.h"

// The scripted state with every query answered; P stands for the port's
// label value, S for the collection's seconds.
constexpr const char* kScriptedExposition =
    "# HELP quorvex_up 1 when the port opened and the modem answered every query.\n"
    "# TYPE quorvex_up gauge\n"
    "quorvex_up{port=\"P\"} 1\n"
    "# HELP quorvex_collection_duration_seconds How long the queries of the card's state took, "
    "in seconds.\n"
    "# TYPE quorvex_collection_duration_seconds gauge\n"
    "quorvex_collection_duration_seconds{port=\"P\"} S\n"
    "# HELP quorvex_query_success 1 when the modem answered the query for the value named by "
    "query, else 0.\n"
    "# TYPE quorvex_query_success gauge\n"
    "quorvex_query_success{port=\"P\",query=\"modem_type\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"model_name\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"activated\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"service_indication\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"cdma_rssi\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"cdma_ecio\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"hdr_rssi\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"hdr_ecio\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"band_class\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"roaming_status\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"hdr_service_state\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"hdr_roam_status\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"hdr_notification_status\"} 1\n"
    "quorvex_query_success{port=\"P\",query=\"hybrid_mode\"} 1\n"
    "# HELP quorvex_modem_info The modem's model name and type code.\n"
    "# TYPE quorvex_modem_info gauge\n"
    "quorvex_modem_info{model=\"MC5728V\",port=\"P\",type=\"60\"} 1\n"
    "# HELP quorvex_modem_activated 1 when the modem is activated, 0 when not.\n"
    "# TYPE quorvex_modem_activated gauge\n"
    "quorvex_modem_activated{port=\"P\"} 1\n"
    "# HELP quorvex_service_indication Service indication code as the modem reports it.\n"
    "# TYPE quorvex_service_indication gauge\n"
    "quorvex_service_indication{port=\"P\"} 2\n"
    "# HELP quorvex_cdma_rssi_dbm CDMA received signal strength in dBm.\n"
    "# TYPE quorvex_cdma_rssi_dbm gauge\n"
    "quorvex_cdma_rssi_dbm{port=\"P\"} -90\n"
    "# HELP quorvex_cdma_ecio CDMA Ec/Io as the modem reports it (it states no unit).\n"
    "# TYPE quorvex_cdma_ecio gauge\n"
    "quorvex_cdma_ecio{port=\"P\"} 8\n"
    "# HELP quorvex_hdr_rssi_dbm HDR received signal strength in dBm.\n"
    "# TYPE quorvex_hdr_rssi_dbm gauge\n"
    "quorvex_hdr_rssi_dbm{port=\"P\"} -80\n"
    "# HELP quorvex_hdr_ecio HDR Ec/Io as the modem reports it (it states no unit).\n"
    "# TYPE quorvex_hdr_ecio gauge\n"
    "quorvex_hdr_ecio{port=\"P\"} 4\n"
    "# HELP quorvex_band_class CDMA band class the modem reports.\n"
    "# TYPE quorvex_band_class gauge\n"
    "quorvex_band_class{port=\"P\"} 1\n"
    "# HELP quorvex_roaming_status Roaming status code as the modem reports it (unsigned).\n"
    "# TYPE quorvex_roaming_status gauge\n"
    "quorvex_roaming_status{port=\"P\"} 0\n"
    "# HELP quorvex_hdr_service_state HDR service state code as the modem reports it.\n"
    "# TYPE quorvex_hdr_service_state gauge\n"
    "quorvex_hdr_service_state{port=\"P\"} 3\n"
    "# HELP quorvex_hdr_roam_status HDR roam status code as the modem reports it (unsigned).\n"
    "# TYPE quorvex_hdr_roam_status gauge\n"
    "quorvex_hdr_roam_status{port=\"P\"} 65535\n"
    "# HELP quorvex_hdr_notification_status HDR notification status as the modem reports it.\n"
    "# TYPE quorvex_hdr_notification_status gauge\n"
    "quorvex_hdr_notification_status{port=\"P\"} 7\n"
    "# HELP quorvex_hybrid_mode 1 when the modem's HDR hybrid mode is on, 0 when off.\n"
    "# TYPE quorvex_hybrid_mode gauge\n"
    "quorvex_hybrid_mode{port=\"P\"} 1\n";

// What changes in kScriptedExposition when some queries fail or answer
// otherwise: lines replaced, and metric families gone (HELP, TYPE, sample).
struct ExpositionChange {
    std::vector<std::pair<std::string, std::string>> replaced;
    std::vector<std::string> gone;
};

// A case of the scripted state: what the modem answers otherwise, what
// that changes in the exposition, and the tool's exit status.
struct ScriptedCase {
    const char* name;
    std::function<void(SimulatedModem&)> script;  // after answerScriptedState
    ExpositionChange change;
    int status;
};

// Test names show the case's name rather than its bytes.
inline void PrintTo(const ScriptedCase& c, std::ostream* os) {
    *os << c.name;
}

// The scripted state without the HDR service state's answer.
inline void muteHdrServiceState(SimulatedModem& modem) {
    modem.answer(CnsObjects::OBJ_HDR_SERVICE_STATE, SimulatedModem::mute());
}
inline const ExpositionChange kHdrServiceStateMuted = {
    {{"quorvex_up{port=\"P\"} 1", "quorvex_up{port=\"P\"} 0"},
     {"quorvex_query_success{port=\"P\",query=\"hdr_service_state\"} 1",
      "quorvex_query_success{port=\"P\",query=\"hdr_service_state\"} 0"}},
    {"quorvex_hdr_service_state"}};

// kScriptedExposition changed by `change`, P and S put in.
inline std::string scriptedExposition(const std::string& port, const std::string& seconds,
                                      const ExpositionChange& change = {}) {
    std::string text = kScriptedExposition;
    const auto replace = [&text](const std::string& from, const std::string& to) {
        const std::size_t at = text.find(from);
        if (at != std::string::npos) {
            text.replace(at, from.size(), to);
        }
    };
    for (const auto& [from, to] : change.replaced) {
        replace(from + '\n', to + '\n');
    }
    for (const std::string& name : change.gone) {
        const std::size_t start = text.find("# HELP " + name + ' ');
        const std::size_t sample = text.find('\n' + name + '{', start);
        if (start != std::string::npos && sample != std::string::npos) {
            text.erase(start, text.find('\n', sample + 1) - start + 1);
        }
    }
    const std::string quotedPort = '"' + port + '"';
    for (std::size_t at = 0; (at = text.find("\"P\"", at)) != std::string::npos;) {
        text.replace(at, 3, quotedPort);
        at += quotedPort.size();
    }
    replace("} S\n", "} " + seconds + '\n');
    return text;
}

// The value of the collection's duration in an exposition, "" when it has none.
inline std::string collectionSeconds(const std::string& exposition) {
    const std::string name = "\nquorvex_collection_duration_seconds{";
    const std::size_t line = exposition.find(name);
    if (line == std::string::npos) {
        return "";
    }
    const std::size_t value = exposition.find("} ", line) + 2;
    return exposition.substr(value, exposition.find('\n', value) - value);
}
