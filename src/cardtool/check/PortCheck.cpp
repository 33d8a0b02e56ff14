#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "card/CardPort.h"
#include "card/SerialSettings.h"
#include "cardtool/QueryOutcome.h"
#include "cardtool/check/CheckLinks.h"
#include "cardtool/check/PortHolders.h"
#include "cardtool/check/SystemFiles.h"

namespace CardTool {

namespace {

void readBackSettings(int port, CheckResult& result) {
    termios now{};
    if (::tcgetattr(port, &now) == -1) {
        const int error = errno;
        result.details.push_back(std::string("tcgetattr failed: ") + std::strerror(error));
        result.fail(CardPort::meansPortGone(error)
                        ? kPortGoneHint
                        : "the port does not behave as a terminal: replug the modem");
        return;
    }
    const SerialSettings::Kept kept = SerialSettings::compareWithTable(now);
    if (kept.lost.empty() && kept.notKept.empty()) {
        result.details.push_back("serial settings read back: all the probe sets");
    }
    if (!kept.notKept.empty()) {
        result.details.push_back("not kept by the driver (information, the probe works without): " +
                                 kept.notKept);
    }
    if (!kept.lost.empty()) {
        result.details.push_back("not kept, and the frames need them: " + kept.lost);
        result.fail(
            "the port does not stay raw, so frames are changed on the way: stop any other "
            "program that sets it up, or the port is not a plain USB-serial one");
    }
}

// What to do about other programs on the port; "" when there are none.
std::string reportHolders(const std::vector<PortHolder>& holders, CheckResult& result) {
    if (holders.empty()) {
        result.details.push_back(::geteuid() == 0
                                     ? "no other process has the port open or holds its lock"
                                     : "no other process of this user has the port open or "
                                       "holds its lock (root sees all)");
        return {};
    }
    for (const PortHolder& holder : holders) {
        result.details.push_back("process " + std::to_string(holder.pid) + " (" + holder.command +
                                 ") " + holder.how);
    }
    return "stop it (kill " + std::to_string(holders.front().pid) + ") unless it is meant to run";
}

// The card's events while it opens the port, passed on; the last system
// error among them is why the open failed.
struct OpenEvents {
    Diagnostics::Reporter passOn;
    int errorNumber = 0;
};

void noteOpenEvent(void* context, const std::string& line, int errorNumber) {
    auto& events = *static_cast<OpenEvents*>(context);
    events.errorNumber = errorNumber != 0 ? errorNumber : events.errorNumber;
    events.passOn.event(line, errorNumber);
}

// Why the card's open failed: the system's reason when it had one.
std::string openFailure(CnsErrors::ReturnErrors error, int openErrno) {
    if (error != CnsErrors::ERROR_OPENING_PORT || openErrno == 0) {
        return failureReason(error);
    }
    return openErrno == ENOTTY ? "not a terminal" : std::strerror(openErrno);
}

}  // namespace

void checkPort(WirelessCard& card, const std::string& path, CheckResult& result) {
    struct stat node;
    if (::stat(path.c_str(), &node) == -1) {
        result.details.push_back(path + ": " + std::strerror(errno));
        result.fail(
            "the port has no device node: unplug and replug the modem, then see the kernel log "
            "(dmesg)");
        return;
    }
    if (!S_ISCHR(node.st_mode)) {
        result.details.push_back(path + " is " + fileKind(node.st_mode) + ", not a serial port");
        result.fail("something else was left at the port's path: remove it and replug the modem");
        return;
    }
    result.details.push_back(path + ": character device " + std::to_string(major(node.st_rdev)) +
                             ":" + std::to_string(minor(node.st_rdev)));
    const std::string stopHolders = reportHolders(findPortHolders(node), result);
    if (!stopHolders.empty()) {
        result.warn(
            "another program uses the modem's port and can delay the probe or take its replies: " +
            stopHolders);
    }
    OpenEvents events{card.reporter()};
    card.reportTo({noteOpenEvent, &events});
    try {
        card.openCard(path.c_str());
        card.reportTo(events.passOn);
    } catch (const CnsErrors::ReturnErrors& error) {
        card.reportTo(events.passOn);
        result.details.push_back("it did not open: " + openFailure(error, events.errorNumber));
        result.fail(error == CnsErrors::PORT_BUSY && !stopHolders.empty()
                        ? "another program keeps the port's lock, and the probe's runs fail: " +
                              stopHolders
                        : "the port cannot be opened: see the reason above, then replug the modem");
        return;
    }
    result.details.push_back("it opened as the probe opens it");
    readBackSettings(card.descriptor(), result);
}

void checkPortStayed(const WirelessCard& card, CheckResult& result) {
    if (card.portGone()) {
        result.details.push_back(std::string("it went away during the check: ") +
                                 std::strerror(card.portGoneError()));
        result.fail(kPortGoneHint);
    }
}

}  // namespace CardTool
