#include "cardtool/PrometheusFormat.h"

#include <cstring>

#include "text/TextOut.h"

namespace CardTool {

namespace {

// One gauge per reading, by the reading's key. The card states a unit for
// RSSI only; the codes are passed on as the card reports them.
struct Gauge {
    const char* key;
    const char* name;
    const char* help;
    bool flag;  // true/false as 1/0
};

constexpr Gauge kGauges[] = {
    {"activated", "quorvex_modem_activated", "1 when the modem is activated, 0 when not.", true},
    {"service_indication", "quorvex_service_indication",
     "Service indication code as the modem reports it.", false},
    {"cdma_rssi", "quorvex_cdma_rssi_dbm", "CDMA received signal strength in dBm.", false},
    {"cdma_ecio", "quorvex_cdma_ecio", "CDMA Ec/Io as the modem reports it (it states no unit).",
     false},
    {"hdr_rssi", "quorvex_hdr_rssi_dbm", "HDR received signal strength in dBm.", false},
    {"hdr_ecio", "quorvex_hdr_ecio", "HDR Ec/Io as the modem reports it (it states no unit).",
     false},
    {"band_class", "quorvex_band_class", "CDMA band class the modem reports.", false},
    {"roaming_status", "quorvex_roaming_status",
     "Roaming status code as the modem reports it (unsigned).", false},
    {"hdr_service_state", "quorvex_hdr_service_state",
     "HDR service state code as the modem reports it.", false},
    {"hdr_roam_status", "quorvex_hdr_roam_status",
     "HDR roam status code as the modem reports it (unsigned).", false},
    {"hdr_notification_status", "quorvex_hdr_notification_status",
     "HDR notification status as the modem reports it.", false},
    {"hybrid_mode", "quorvex_hybrid_mode", "1 when the modem's HDR hybrid mode is on, 0 when off.",
     true},
};

// The readings that are labels of quorvex_modem_info instead.
constexpr const char* kTypeKey = "modem_type";
constexpr const char* kModelKey = "model_name";

// Backslash and newline as the format escapes them; in a label value also
// the double quote.
std::string escaped(const std::string& text, bool labelValue) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '"' && labelValue) {
            out += "\\\"";
        } else {
            out += c;
        }
    }
    return out;
}

std::string label(const char* name, const std::string& value) {
    return std::string(name) + "=\"" + escaped(value, true) + '"';
}

class Exposition {
public:
    explicit Exposition(const std::string& port) : portLabel(label("port", port)) {}

    void family(const char* name, const char* help) {
        text += std::string("# HELP ") + name + ' ' + escaped(help, false) + "\n# TYPE " + name +
                " gauge\n";
    }
    // `before` and `after` are further labels, so that all stay in
    // alphabetical order around "port".
    void sample(const char* name, const std::string& value, const std::string& before = "",
                const std::string& after = "") {
        text += std::string(name) + '{' + (before.empty() ? "" : before + ',') + portLabel +
                (after.empty() ? "" : ',' + after) + "} " + value + '\n';
    }

    std::string text;

private:
    const std::string portLabel;
};

const Reading* readingFor(const CardState& state, const char* key) {
    for (const Reading& reading : state) {
        if (std::strcmp(reading.key, key) == 0) {
            return &reading;
        }
    }
    return nullptr;
}

const Gauge* gaugeOf(const Reading& reading) {
    for (const Gauge& gauge : kGauges) {
        if (std::strcmp(gauge.key, reading.key) == 0) {
            return &gauge;
        }
    }
    return nullptr;
}

// Seconds to the millisecond, without trailing zeros: "0.17", "1", "0".
std::string seconds(double value) {
    std::string out = Text::fixed(value, 3);
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') {
        out.pop_back();
    }
    return out;
}

void addQueries(Exposition& exposition, const CardState& state) {
    exposition.family("quorvex_query_success",
                      "1 when the modem answered the query for the value named by query, else 0.");
    for (const Reading& reading : state) {
        exposition.sample("quorvex_query_success", reading.value ? "1" : "0", "",
                          label("query", reading.key));
    }
}

// Only when both its queries were answered.
void addModemInfo(Exposition& exposition, const CardState& state) {
    const Reading* type = readingFor(state, kTypeKey);
    const Reading* model = readingFor(state, kModelKey);
    if (type == nullptr || model == nullptr || !type->value || !model->value) {
        return;
    }
    exposition.family("quorvex_modem_info", "The modem's model name and type code.");
    exposition.sample("quorvex_modem_info", "1", label("model", model->value->text),
                      label("type", type->value->text));
}

void addGauges(Exposition& exposition, const CardState& state) {
    for (const Reading& reading : state) {
        const Gauge* gauge = gaugeOf(reading);
        if (gauge == nullptr || !reading.value) {
            continue;
        }
        const std::string& json = reading.value->json;
        exposition.family(gauge->name, gauge->help);
        exposition.sample(gauge->name, gauge->flag ? (json == "true" ? "1" : "0") : json);
    }
}

}  // namespace

std::string formatPrometheus(const CardState& state, const std::string& port, double took) {
    Exposition exposition(port);
    exposition.family("quorvex_up", "1 when the port opened and the modem answered every query.");
    exposition.sample("quorvex_up", !state.empty() && everyQueryAnswered(state) ? "1" : "0");
    if (state.empty()) {
        return exposition.text;
    }
    exposition.family("quorvex_collection_duration_seconds",
                      "How long the queries of the card's state took, in seconds.");
    exposition.sample("quorvex_collection_duration_seconds", seconds(took));
    addQueries(exposition, state);
    addModemInfo(exposition, state);
    addGauges(exposition, state);
    return exposition.text;
}

}  // namespace CardTool
