#include "card/SerialSettings.h"

#include <cerrno>
#include <cstdio>
#include <vector>

namespace SerialSettings {

namespace {

struct Flags {
    tcflag_t termios::*field;
    tcflag_t mask;
    tcflag_t wanted;  // what is set, under `mask`
};

constexpr Flags kFlags[] = {
    {&termios::c_lflag, ICANON, 0},        {&termios::c_lflag, ECHO, 0},
    {&termios::c_lflag, ISIG, 0},          {&termios::c_iflag, ICRNL | INLCR | IGNCR | ISTRIP, 0},
    {&termios::c_iflag, IXON, 0},          {&termios::c_oflag, OPOST, 0},
    {&termios::c_cflag, CSIZE, CS8},       {&termios::c_cflag, CREAD, CREAD},
    {&termios::c_cflag, CRTSCTS, CRTSCTS}, {&termios::c_cflag, CLOCAL, CLOCAL},
    {&termios::c_cflag, PARENB, 0},        {&termios::c_iflag, IGNPAR, IGNPAR},
};

// For the check, row by row beside kFlags (apart, so that the probe, which
// never names them, does not carry the names).
struct FlagsName {
    const char* name;
    bool essential;  // without it the frames are not carried intact
};
constexpr FlagsName kFlagsNames[] = {
    {"canonical mode (ICANON) off", true},
    {"echo (ECHO) off", true},
    {"signal characters (ISIG) off", true},
    {"input translation (ICRNL INLCR IGNCR ISTRIP) off", true},
    {"software flow control (IXON) off", true},
    {"output processing (OPOST) off", true},
    {"8 data bits (CS8)", true},
    {"receiver on (CREAD)", true},
    {"hardware flow control (CRTSCTS) on", false},
    {"modem control lines ignored (CLOCAL)", false},
    {"no parity (PARENB off)", false},
    {"parity errors ignored (IGNPAR)", false},
};
static_assert(sizeof kFlagsNames / sizeof kFlagsNames[0] == sizeof kFlags / sizeof kFlags[0],
              "a name for every row");

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

const char* baudOf(speed_t speed) {
    for (const Speed& known : kSpeeds) {
        if (known.code == speed) {
            return known.baud;
        }
    }
    return nullptr;
}

bool flagsAgree(const Flags& flags, const termios& a, const termios& b) {
    return ((a.*flags.field) & flags.mask) == ((b.*flags.field) & flags.mask);
}

bool timingAgrees(const termios& a, const termios& b) {
    return a.c_cc[VMIN] == b.c_cc[VMIN] && a.c_cc[VTIME] == b.c_cc[VTIME];
}

// The table as settings (`wanted`), or as the masks of the fields it names.
constexpr termios tableSettings(bool masks) {
    termios settings{};
    for (const Flags& flags : kFlags) {
        settings.*flags.field |= masks ? flags.mask : flags.wanted;
    }
    settings.c_cflag |= masks ? CBAUD : kSpeed;
    settings.c_cc[VMIN] = masks ? 0xFF : kMinimumReadBytes;
    settings.c_cc[VTIME] = masks ? 0xFF : kReadTimer;
    return settings;
}
constexpr termios kSettings = tableSettings(false);
constexpr termios kNamed = tableSettings(true);

void join(std::string& list, const char* item) {
    list += list.empty() ? "" : ", ";
    list += item;
}

}  // namespace

void apply(int fd) {
    ::tcflush(fd, TCIFLUSH);
    errno = 0;
    ::tcsetattr(fd, TCSANOW, &kSettings);
}

bool sameAsSet(const termios& a, const termios& b) {
    return ((a.c_iflag ^ b.c_iflag) & kNamed.c_iflag) == 0 &&
           ((a.c_oflag ^ b.c_oflag) & kNamed.c_oflag) == 0 &&
           ((a.c_cflag ^ b.c_cflag) & kNamed.c_cflag) == 0 &&
           ((a.c_lflag ^ b.c_lflag) & kNamed.c_lflag) == 0 && timingAgrees(a, b);
}

Kept compareWithTable(const termios& now) {
    const termios& wanted = kSettings;
    Kept kept;
    for (std::size_t i = 0; i < sizeof kFlags / sizeof kFlags[0]; ++i) {
        if (!flagsAgree(kFlags[i], now, wanted)) {
            join(kFlagsNames[i].essential ? kept.lost : kept.notKept, kFlagsNames[i].name);
        }
    }
    char text[64];
    if (::cfgetospeed(&now) != kSpeed) {
        const speed_t speed = ::cfgetospeed(&now);
        if (const char* baud = baudOf(speed)) {
            std::snprintf(text, sizeof text, "%s baud (reads %s)", baudOf(kSpeed), baud);
        } else {
            std::snprintf(text, sizeof text, "%s baud (reads speed code %u)", baudOf(kSpeed),
                          static_cast<unsigned>(speed));
        }
        join(kept.notKept, text);
    }
    if (!timingAgrees(now, wanted)) {
        std::snprintf(text, sizeof text, "VMIN %u VTIME %u (reads VMIN %u VTIME %u)",
                      kMinimumReadBytes, kReadTimer, now.c_cc[VMIN], now.c_cc[VTIME]);
        join(kept.notKept, text);
    }
    return kept;
}

}  // namespace SerialSettings
