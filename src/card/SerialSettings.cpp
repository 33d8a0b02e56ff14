#include "card/SerialSettings.h"

#include <cerrno>
#include <vector>

namespace SerialSettings {

namespace {

struct Flags {
    const char* name;
    tcflag_t termios::*field;
    tcflag_t mask;
    tcflag_t wanted;  // what is set, under `mask`
    bool essential;   // without it the frames are not carried intact
};

constexpr Flags kFlags[] = {
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

// The line speed, and a read that returns once 5 bytes are in, with no
// timer between bytes (the card's reader waits with select).
constexpr speed_t kSpeed = B9600;
constexpr cc_t kMinimumReadBytes = 5;
constexpr cc_t kReadTimer = 0;

struct Speed {
    speed_t code;
    const char* baud;
};
constexpr Speed kSpeeds[] = {{B0, "0"},           {B1200, "1200"},     {B2400, "2400"},
                             {B4800, "4800"},     {B9600, "9600"},     {B19200, "19200"},
                             {B38400, "38400"},   {B57600, "57600"},   {B115200, "115200"},
                             {B230400, "230400"}, {B460800, "460800"}, {B921600, "921600"}};

std::string baudOf(speed_t speed) {
    for (const Speed& known : kSpeeds) {
        if (known.code == speed) {
            return known.baud;
        }
    }
    return "speed code " + std::to_string(speed);
}

bool flagsAgree(const Flags& flags, const termios& a, const termios& b) {
    return ((a.*flags.field) & flags.mask) == ((b.*flags.field) & flags.mask);
}

bool timingAgrees(const termios& a, const termios& b) {
    return a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

termios tableSettings() {
    termios settings{};
    for (const Flags& flags : kFlags) {
        settings.*flags.field |= flags.wanted;
    }
    settings.c_cflag |= kSpeed;
    settings.c_cc[VMIN] = kMinimumReadBytes;
    settings.c_cc[VTIME] = kReadTimer;
    return settings;
}

void join(std::string& list, const std::string& item) {
    list += (list.empty() ? "" : ", ") + item;
}

}  // namespace

void apply(int fd) {
    const termios settings = tableSettings();
    ::tcflush(fd, TCIFLUSH);
    errno = 0;
    ::tcsetattr(fd, TCSANOW, &settings);
}

bool sameAsSet(const termios& a, const termios& b) {
    for (const Flags& flags : kFlags) {
        if (!flagsAgree(flags, a, b)) {
            return false;
        }
    }
    return ::cfgetospeed(&a) == ::cfgetospeed(&b) && timingAgrees(a, b);
}

Kept compareWithTable(const termios& now) {
    const termios wanted = tableSettings();
    Kept kept;
    for (const Flags& flags : kFlags) {
        if (!flagsAgree(flags, now, wanted)) {
            join(flags.essential ? kept.lost : kept.notKept, flags.name);
        }
    }
    if (::cfgetospeed(&now) != kSpeed) {
        join(kept.notKept, baudOf(kSpeed) + " baud (reads " + baudOf(::cfgetospeed(&now)) + ")");
    }
    if (!timingAgrees(now, wanted)) {
        join(kept.notKept, "VMIN " + std::to_string(kMinimumReadBytes) + " VTIME " +
                               std::to_string(kReadTimer) + " (reads VMIN " +
                               std::to_string(now.c_cc[VMIN]) + " VTIME " +
                               std::to_string(now.c_cc[VTIME]) + ")");
    }
    return kept;
}

}  // namespace SerialSettings
