#include "card/CardLink.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "card/CardPort.h"
#include "card/CardReply.h"
#include "card/Diagnostics.h"
#include "card/PortDiscovery.h"
#include "card/SerialSettings.h"
#include "cns/CnsErrors.h"
#include "cns/CnsFrame.h"
#include "cns/CnsOperations.h"

namespace {

// The port path was built in a 100-byte buffer, terminator included.
constexpr std::size_t kMaxPathLength = 99;
// The wait for the port to take a request (its reply's is kReplyWait).
constexpr std::chrono::seconds kWriteWait{1};
constexpr std::size_t kReadSize = CardPort::FrameReader::kReadSize;
constexpr LockWait kProbeLockWait = {std::chrono::seconds(1), std::chrono::seconds(1),
                                     std::chrono::milliseconds(0)};

std::string unclosedFrameText(std::size_t size) {
    char line[64];
    std::snprintf(line, sizeof line, "Unusable reply of %zu bytes: no closing flag.", size);
    return line;
}

// The modem broke a frame off and started the next, or the line lost bytes
// of it: its bytes are no reply, and the whole frame that follows may well be.
std::string tornFrameText(std::size_t size) {
    char line[48];
    std::snprintf(line, sizeof line, "Dropped a torn frame of %zu bytes.", size);
    return line;
}

std::string objectText(unsigned short object) {
    return std::to_string(static_cast<short>(object));
}

}  // namespace

CardLink::CardLink() : fd(-1), lockBudget(kProbeLockWait) {
    // Room for any reply, so that transactions do not allocate.
    queryResult.reserve(kReadSize);
    cnsPacket.packetData.reserve(kReadSize);
}

void CardLink::openCard() {
    const std::string path = PortDiscovery::kDevicePrefix + PortDiscovery::readModemPortText();
    if (path.size() > kMaxPathLength) {
        if (fd >= 0) {
            closeCard();  // let go, as when a path that fits fails to open
        }
        errno = ENAMETOOLONG;
        failToOpen(path.c_str());
    }
    openCard(path.c_str());
}

void CardLink::openCard(const char* path) {
    if (fd >= 0) {
        closeCard();  // a card holds one port
    }
    errno = 0;
    fd = CardPort::openTerminal(path);
    if (fd == -1) {
        failToOpen(path);
    }
    this->path = path;
    // The flush and the new settings would disturb a reply another program
    // is waiting for.
    const PortLock lock(fd, lockBudget);
    if (!lock.acquired()) {
        ::close(fd);
        fd = -1;
        failBusy();
    }
    termios before{};
    settingsBeforeOpen.reset();
    if (::tcgetattr(fd, &before) == 0) {
        settingsBeforeOpen = before;
    }
    configurePortForNonCanonicalMode(fd);
    rememberSettingsInForce();
}

void CardLink::rememberSettingsInForce() {
    termios inForce{};
    settingsInForce.reset();
    if (::tcgetattr(fd, &inForce) == 0) {
        settingsInForce = inForce;
    }
}

void CardLink::keepSettings() {
    // The settings belong to the device, not to this descriptor: another
    // program may have changed them between two transactions (a field tool
    // giving the port back in cooked mode), and a reply would then wait for
    // a newline that never comes.
    termios now{};
    if (!settingsInForce || ::tcgetattr(fd, &now) != 0 ||
        SerialSettings::sameAsSet(now, *settingsInForce)) {
        return;
    }
    configurePortForNonCanonicalMode(fd);
    rememberSettingsInForce();
}

void CardLink::failToOpen(const char* path) {
    report.systemError("Error opening port " + std::string(path) + ": " + std::to_string(fd));
    throw CnsErrors::ERROR_OPENING_PORT;
}

void CardLink::failGone(int errorNumber) {
    goneError = errorNumber;
    throw CnsErrors::PORT_GONE;
}

void CardLink::reportBusy() const {
    report.line("Port " + path + " is in use by another program.");
}

void CardLink::failBusy() const {
    reportBusy();
    throw CnsErrors::PORT_BUSY;
}

void CardLink::restorePortSettings() {
    if (fd < 0 || goneError != 0 || !settingsBeforeOpen) {
        return;
    }
    const PortLock lock(fd, lockBudget);
    if (!lock.acquired()) {
        reportBusy();  // the other program's settings stay
        return;
    }
    if (::tcsetattr(fd, TCSANOW, &*settingsBeforeOpen) == -1) {
        report.systemError("Error restoring the settings of port " + path + ": ");
    }
}

void CardLink::configurePortForNonCanonicalMode(int port) {
    if (port <= 0) {
        return;
    }
    SerialSettings::apply(port);
}

void CardLink::closeCard() {
    ::close(fd);
    fd = -1;
    goneError = 0;
}

void CardLink::sendToCard(CnsObjects::CnsObjectTypes object) {
    CnsImp request;
    request.setCnsObjectForGet(object);
    sendToCard(request);
}

void CardLink::sendToCard(const CnsImp& request) {
    queryResult.clear();
    int size = 0;
    const std::unique_ptr<unsigned char[]> frame(request.getCnsDataForQuery(size));
    sendToCard(frame.get(), size);
}

void CardLink::sendToCard(unsigned char* frame, int length) {
    if (fd < 0) {
        throw CnsErrors::CARD_NOT_OPEN;
    }
    queryResult.clear();
    if (goneError != 0) {
        throw CnsErrors::PORT_GONE;  // said when it was found
    }
    const PortLock lock(fd, lockBudget);
    if (!lock.acquired()) {
        failBusy();
    }
    keepSettings();
    const CardPort::NonBlockingMode nonBlocking(fd);
    // Whatever came before the request cannot be its reply.
    ::tcflush(fd, TCIFLUSH);
    const auto count = static_cast<std::size_t>(length > 0 ? length : 0);
    if (!writeRequest(frame, count)) {
        const int writeError = errno;
        report.systemError("Error writing ");
        // Unsent bytes would hold up the close and the exit.
        ::tcflush(fd, TCOFLUSH);
        if (CardPort::meansPortGone(writeError)) {
            failGone(writeError);
        }
        return;
    }
    showFrame(FrameDirection::Request, frame, count);
    const bool namesObject = count > CnsFrame::kObjectIdOffset + 1;
    receiveReply({!namesObject,
                  namesObject ? CnsOperations::get16BigEndian(frame + CnsFrame::kObjectIdOffset)
                              : static_cast<unsigned short>(0)});
}

bool CardLink::writeRequest(const unsigned char* frame, std::size_t count) {
    // A slow line draws on the same allowance as the lock: the probe's run
    // waits for the port at most about a second in all.
    const auto start = CardPort::Clock::now();
    const auto wait = std::min<CardPort::Clock::duration>(kWriteWait, lockBudget.nextWait());
    const bool written = CardPort::writeWithin(fd, frame, count, start + wait);
    lockBudget.spend(CardPort::Clock::now() - start);
    return written;
}

void CardLink::receiveReply(AwaitedReply awaited) {
    const auto deadline = CardPort::Clock::now() + kReplyWait;
    CardPort::FrameReader reader;
    for (;;) {
        switch (reader.next(fd, deadline)) {
            case CardPort::FrameReader::Result::Frame:
                showFrame(FrameDirection::Reply, reader.frame(), reader.frameSize());
                if (isReplyTo(awaited, reader.frame())) {
                    storeReply(reader.frame(), reader.frameSize());
                    return;
                }
                break;
            case CardPort::FrameReader::Result::Torn:
                showFrame(FrameDirection::Reply, reader.frame(), reader.frameSize());
                report.line(tornFrameText(reader.frameSize()));
                break;
            case CardPort::FrameReader::Result::NothingCame:
                report.line("No data was returned by query.");
                throw CnsErrors::NO_DATA_RETURNED;
            case CardPort::FrameReader::Result::Incomplete:
                showFrame(FrameDirection::Reply, reader.frame(), reader.frameSize());
                report.line(unclosedFrameText(reader.frameSize()));
                throw CnsErrors::UNUSABLE_REPLY;
            case CardPort::FrameReader::Result::Failed:
                report.systemError("select system call failed: ");
                return;
            case CardPort::FrameReader::Result::HungUp:
                // Said as the wait would have said it; only the outcome is new.
                if (reader.frameSize() > 0) {
                    showFrame(FrameDirection::Reply, reader.frame(), reader.frameSize());
                    report.line(unclosedFrameText(reader.frameSize()));
                } else {
                    report.line("No data was returned by query.");
                }
                failGone(reader.goneError());
        }
    }
}

bool CardLink::isReplyTo(AwaitedReply awaited, const unsigned char* frame) const {
    const unsigned short object = CnsOperations::get16BigEndian(frame + CnsFrame::kObjectIdOffset);
    const unsigned char operation = frame[CnsFrame::kOperationTypeOffset];
    const auto withoutErrorBit = static_cast<short>(operation & ~CnsFrame::kErrorBit);
    if ((awaited.anyObject || object == awaited.object) &&
        cnsPacket.operations.isModemTohost(withoutErrorBit)) {
        return true;
    }
    char line[96];
    char awaitedText[8] = "any";
    if (!awaited.anyObject) {
        std::snprintf(awaitedText, sizeof awaitedText, "%d", static_cast<short>(awaited.object));
    }
    std::snprintf(line, sizeof line,
                  "Skipped a frame of object %d, operation %u, awaiting the reply for object %s.",
                  static_cast<short>(object), operation, awaitedText);
    report.line(line);
    return false;
}

void CardLink::storeReply(const unsigned char* bytes, std::size_t count) {
    CardReply::unescape(bytes, count, queryResult, report);
    showFrame(FrameDirection::UnescapedReply, queryResult.data(), queryResult.size());
    CardReply::decode(queryResult, cnsPacket, report);
    if (cnsPacket.isError()) {
        report.line(objectText(cnsPacket.cnsObjectId) +
                    " query data packet has an error associated with it.");
    }
}

unsigned short CardLink::get16ValFromQueryResult(int offset) const {
    return CardReply::value16(queryResult, offset, report);
}

unsigned short CardLink::get16ValFromQueryResult() const {
    return get16ValFromQueryResult(CnsFrame::kParameterOffset);
}

unsigned int CardLink::get32ValFromQueryResult(int offset) const {
    return CardReply::value32(queryResult, offset, report);
}

unsigned short CardLink::parameterValue16(int offset) const {
    return CardReply::parameterValue16(queryResult, offset, report);
}
