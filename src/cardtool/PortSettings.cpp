#include "cardtool/PortSettings.h"

#include <vector>

namespace CardTool {

namespace {

struct Setting {
    const char* name;
    tcflag_t termios::*field;
    tcflag_t mask;
    tcflag_t wanted;  // what the probe sets, under `mask`
    bool essential;   // without it the frames are not carried intact
};

constexpr Setting kSettings[] = {
    {"canonical mode (ICANON) off", &termios::c_lflag, ICANON, 0, true},
    {"echo (ECHO) off", &termios::c_lflag, ECHO, 0, true},
    {"signal characters (ISIG) off", &termios::c_lflag, ISIG, 0, true},
    {"input translation (ICRNL INLCR IGNCR ISTRIP) off", &termios::c_iflag,
     ICRNL | INLCR | IGNCR | ISTRIP, 0, true},
    {"software flow control (IXON) off", &termios::c_iflag, IXON, 0, true},
    {"output processing (OPOST) off", &termios::c_oflag, OPOST, 0, true},
    {"8 data bits (CS8)", &termios::c_cflag, CSIZE, CS8, true},
    {"receiver on (CREAD)", &termios::c_cflag, CREAD, CREAD, true},
    {"hardware flow control (CRTSCTS) on", &termios::c_cflag, CRTSCTS, CRTSCTS, false},
    {"modem control lines ignored (CLOCAL)", &termios::c_cflag, CLOCAL, CLOCAL, false},
    {"no parity (PARENB off)", &termios::c_cflag, PARENB, 0, false},
    {"parity errors ignored (IGNPAR)", &termios::c_iflag, IGNPAR, IGNPAR, false},
};

std::string baudOf(speed_t speed) {
    constexpr struct {
        speed_t code;
        const char* baud;
    } kSpeeds[] = {{B0, "0"},           {B1200, "1200"},     {B2400, "2400"},
                   {B4800, "4800"},     {B9600, "9600"},     {B19200, "19200"},
                   {B38400, "38400"},   {B57600, "57600"},   {B115200, "115200"},
                   {B230400, "230400"}, {B460800, "460800"}, {B921600, "921600"}};
    for (const auto& known : kSpeeds) {
        if (known.code == speed) {
            return known.baud;
        }
    }
    return "speed code " + std::to_string(speed);
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ", ") + item;
    }
    return text;
}

}  // namespace

SettingsKept compareWithProbeSettings(const termios& now) {
    std::vector<std::string> lost;
    std::vector<std::string> notKept;
    for (const Setting& setting : kSettings) {
        if (((now.*setting.field) & setting.mask) != setting.wanted) {
            (setting.essential ? lost : notKept).push_back(setting.name);
        }
    }
    if (::cfgetospeed(&now) != B9600) {
        notKept.push_back("9600 baud (reads " + baudOf(::cfgetospeed(&now)) + ")");
    }
    if (now.c_cc[VMIN] != 5 || now.c_cc[VTIME] != 0) {
        notKept.push_back("VMIN 5 VTIME 0 (reads VMIN " + std::to_string(now.c_cc[VMIN]) +
                          " VTIME " + std::to_string(now.c_cc[VTIME]) + ")");
    }
    return {joined(notKept), joined(lost)};
}

}  // namespace CardTool
