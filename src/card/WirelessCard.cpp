#include "card/WirelessCard.h"

#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "card/CardPort.h"
#include "card/CardReply.h"
#include "card/Diagnostics.h"
#include "card/PortDiscovery.h"
#include "cns/CnsErrors.h"
#include "cns/CnsFrame.h"
#include "cns/CnsOperations.h"

using Diagnostics::reportLine;
using Diagnostics::reportSystemError;

namespace {

// The port path was built in a 100-byte buffer, terminator included.
constexpr std::size_t kMaxPathLength = 99;
// The wait for the port to take a request, and then for its reply.
constexpr std::chrono::seconds kWriteWait{1};
constexpr std::chrono::seconds kReplyWait{1};
constexpr std::size_t kReadSize = CardPort::FrameReader::kReadSize;
constexpr cc_t kMinimumReadBytes = 5;
constexpr LockWait kProbeLockWait = {std::chrono::seconds(1), std::chrono::seconds(1),
                                     std::chrono::milliseconds(0)};
constexpr int kValueOffset = CnsFrame::kParameterOffset;
// The four values of the RSSI and Ec/Io reply.
constexpr int kCdmaRssiOffset = 15;
constexpr int kCdmaEcioOffset = 17;
constexpr int kHdrRssiOffset = 19;
constexpr int kHdrEcioOffset = 21;
// The modem type reply carries the type in parameter bytes 2 and 3, when
// the low byte of its parameter length is one of these.
constexpr unsigned char kModemTypeParameterLengths[] = {0x28, 0x08};
constexpr int kModemTypeOffset = 17;
constexpr unsigned short kUnknownModemType = 0xFFFF;

struct ModemName {
    unsigned short type;
    const char* name;
};
constexpr ModemName kModemNames[] = {
    {0x25, "MC5727"}, {0x3A, "MC5727V"}, {0x3B, "MC5728"}, {0x3C, "MC5728V"}};
constexpr const char* kUnknownModemName = "Unknown modem.";

// The card reports signal strengths as magnitudes; 90 becomes -90.
unsigned short negated16(unsigned short magnitude) {
    return static_cast<unsigned short>(0u - magnitude);
}

void reportUnclosedFrame(std::size_t size) {
    char line[64];
    std::snprintf(line, sizeof line, "Unusable reply of %zu bytes: no closing flag.", size);
    reportLine(line);
}

// The modem broke a frame off and started the next: its bytes are no reply,
// and the whole frame that follows may well be.
void reportTornFrame(std::size_t size) {
    char line[48];
    std::snprintf(line, sizeof line, "Dropped a torn frame of %zu bytes.", size);
    reportLine(line);
}

std::string objectText(unsigned short object) {
    return std::to_string(static_cast<short>(object));
}

}  // namespace

WirelessCard::WirelessCard() : fd(-1), lockBudget(kProbeLockWait) {
    // Room for any reply, so that transactions do not allocate.
    queryResult.reserve(kReadSize);
    cnsPacket.packetData.reserve(kReadSize);
}

void WirelessCard::openCard() {
    const std::string path = PortDiscovery::kDevicePrefix + PortDiscovery::readModemPortText();
    if (path.size() > kMaxPathLength) {
        fd = -1;
        errno = ENAMETOOLONG;
        failToOpen(path.c_str());
    }
    openCard(path.c_str());
}

void WirelessCard::openCard(const char* path) {
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

void WirelessCard::rememberSettingsInForce() {
    termios inForce{};
    settingsInForce.reset();
    if (::tcgetattr(fd, &inForce) == 0) {
        settingsInForce = inForce;
    }
}

void WirelessCard::keepSettings() {
    // The settings belong to the device, not to this descriptor: another
    // program may have changed them between two transactions (a field tool
    // giving the port back in cooked mode), and a reply would then wait for
    // a newline that never comes.
    termios now{};
    if (!settingsInForce || ::tcgetattr(fd, &now) != 0 ||
        std::memcmp(&now, &*settingsInForce, sizeof now) == 0) {
        return;
    }
    configurePortForNonCanonicalMode(fd);
    rememberSettingsInForce();
}

void WirelessCard::failToOpen(const char* path) {
    reportSystemError("Error opening port " + std::string(path) + ": " + std::to_string(fd));
    throw CnsErrors::ERROR_OPENING_PORT;
}

void WirelessCard::reportBusy() const {
    reportLine("Port " + path + " is in use by another program.");
}

void WirelessCard::failBusy() const {
    reportBusy();
    throw CnsErrors::PORT_BUSY;
}

void WirelessCard::restorePortSettings() {
    if (fd < 0 || !settingsBeforeOpen) {
        return;
    }
    const PortLock lock(fd, lockBudget);
    if (!lock.acquired()) {
        reportBusy();  // the other program's settings stay
        return;
    }
    if (::tcsetattr(fd, TCSANOW, &*settingsBeforeOpen) == -1) {
        reportSystemError("Error restoring the settings of port " + path + ": ");
    }
}

void WirelessCard::configurePortForNonCanonicalMode(int port) {
    if (port <= 0) {
        return;
    }
    termios settings{};  // nothing of the port's current settings is kept
    settings.c_cflag = B9600 | CRTSCTS | CS8 | CLOCAL | CREAD;
    settings.c_iflag = IGNPAR;
    settings.c_oflag = 0;
    settings.c_lflag = 0;
    settings.c_cc[VTIME] = 0;
    settings.c_cc[VMIN] = kMinimumReadBytes;
    ::tcflush(port, TCIFLUSH);
    errno = 0;
    ::tcsetattr(port, TCSANOW, &settings);
}

void WirelessCard::closeCard() {
    ::close(fd);
    fd = -1;
}

void WirelessCard::sendToCard(CnsObjects::CnsObjectTypes object) {
    CnsImp request;
    request.setCnsObjectForGet(object);
    sendToCard(request);
}

void WirelessCard::sendToCard(const CnsImp& request) {
    queryResult.clear();
    int size = 0;
    const std::unique_ptr<unsigned char[]> frame(request.getCnsDataForQuery(size));
    sendToCard(frame.get(), size);
}

void WirelessCard::sendToCard(unsigned char* frame, int length) {
    if (fd < 0) {
        throw CnsErrors::CARD_NOT_OPEN;
    }
    queryResult.clear();
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
        reportSystemError("Error writing ");
        // Unsent bytes would hold up the close and the exit.
        ::tcflush(fd, TCOFLUSH);
        return;
    }
    showFrame(FrameDirection::Request, frame, count);
    const bool namesObject = count > CnsFrame::kObjectIdOffset + 1;
    receiveReply({!namesObject,
                  namesObject ? CnsOperations::get16BigEndian(frame + CnsFrame::kObjectIdOffset)
                              : static_cast<unsigned short>(0)});
}

bool WirelessCard::writeRequest(const unsigned char* frame, std::size_t count) {
    // A slow line draws on the same allowance as the lock: the probe's run
    // waits for the port at most about a second in all.
    const auto start = CardPort::Clock::now();
    const auto wait = std::min<CardPort::Clock::duration>(kWriteWait, lockBudget.nextWait());
    const bool written = CardPort::writeWithin(fd, frame, count, start + wait);
    lockBudget.spend(CardPort::Clock::now() - start);
    return written;
}

void WirelessCard::receiveReply(AwaitedReply awaited) {
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
                reportTornFrame(reader.frameSize());
                break;
            case CardPort::FrameReader::Result::NothingCame:
                reportLine("No data was returned by query.");
                throw CnsErrors::NO_DATA_RETURNED;
            case CardPort::FrameReader::Result::Incomplete:
                showFrame(FrameDirection::Reply, reader.frame(), reader.frameSize());
                reportUnclosedFrame(reader.frameSize());
                throw CnsErrors::UNUSABLE_REPLY;
            case CardPort::FrameReader::Result::Failed:
                reportSystemError("select system call failed: ");
                return;
        }
    }
}

bool WirelessCard::isReplyTo(AwaitedReply awaited, const unsigned char* frame) const {
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
    reportLine(line);
    return false;
}

void WirelessCard::storeReply(const unsigned char* bytes, std::size_t count) {
    CardReply::unescape(bytes, count, queryResult);
    showFrame(FrameDirection::UnescapedReply, queryResult.data(), queryResult.size());
    CardReply::decode(queryResult, cnsPacket);
    if (cnsPacket.isError()) {
        reportLine(objectText(cnsPacket.cnsObjectId) +
                   " query data packet has an error associated with it.");
    }
}

unsigned short WirelessCard::get16ValFromQueryResult(int offset) const {
    return CardReply::value16(queryResult, offset);
}

unsigned short WirelessCard::get16ValFromQueryResult() const {
    return get16ValFromQueryResult(kValueOffset);
}

unsigned int WirelessCard::get32ValFromQueryResult(int offset) const {
    return CardReply::value32(queryResult, offset);
}

unsigned short WirelessCard::parameterValue16(int offset) const {
    return CardReply::parameterValue16(queryResult, offset);
}

unsigned short WirelessCard::query16(CnsObjects::CnsObjectTypes object) {
    sendToCard(object);
    return parameterValue16(kValueOffset);
}

short WirelessCard::getRssi() {
    return static_cast<short>(negated16(query16(CnsObjects::OBJ_RSSI)));
}

unsigned short WirelessCard::getRoamingStatus() {
    return query16(CnsObjects::OBJ_ROAMING_STATUS);
}

bool WirelessCard::isModemActivated() {
    CnsImp request;
    request.setCnsObjectForGet(CnsObjects::OBJ_MODEM_ACTIVATED);
    sendToCard(request);
    return parameterValue16(kValueOffset) == 1;
}

unsigned short WirelessCard::getServiceIndication() {
    return query16(CnsObjects::OBJ_SERVICE_INDICATION);
}

bool WirelessCard::getHybridMode() {
    return query16(CnsObjects::OBJ_HDR_HYBRID_PREFERENCE) == 1;
}

unsigned short WirelessCard::getHDRServiceState() {
    return query16(CnsObjects::OBJ_HDR_SERVICE_STATE);
}

unsigned short WirelessCard::getHDRRoamStatus() {
    return query16(CnsObjects::OBJ_HDR_ROAM_STATUS);
}

void WirelessCard::getHDRMiscNotificationStatus(
    CnsResults::CndQueryResult_HDRMiscNoticationStatus& status) {
    status.setValue(query16(CnsObjects::OBJ_HDR_MISC_NOTIFICATION_STATUS));
}

unsigned short WirelessCard::getBandClass() {
    return query16(CnsObjects::OBJ_BAND_CLASS);
}

short WirelessCard::getBandClass(bool& first, bool& second) {
    first = false;
    second = false;
    const auto bandClass = static_cast<short>(getBandClass());
    if (bandClass == 0) {
        first = true;
        return 0;
    }
    second = bandClass == 1;
    return bandClass;
}

int WirelessCard::getBandClassType() {
    const auto bandClass = static_cast<short>(getBandClass());
    return bandClass == 0 || bandClass == 1 ? bandClass : -1;
}

void WirelessCard::getRssiEcloForCDMAndHDR(unsigned short& cdmaRssi, unsigned short& cdmaEcio,
                                           unsigned short& hdrRssi, unsigned short& hdrEcio) {
    sendToCard(CnsObjects::OBJ_RSSI_ECIO_CDMA_HDR);
    // All four are read before any is handed out: a short reply changes none.
    const unsigned short values[] = {
        parameterValue16(kCdmaRssiOffset), parameterValue16(kCdmaEcioOffset),
        parameterValue16(kHdrRssiOffset), parameterValue16(kHdrEcioOffset)};
    cdmaRssi = negated16(values[0]);
    cdmaEcio = values[1];
    hdrRssi = negated16(values[2]);
    hdrEcio = values[3];
}

void WirelessCard::getRssiEcloForCDMAndHDR(CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR& result) {
    getRssiEcloForCDMAndHDR(result.cdmaRssi, result.cdmaEcio, result.hdrRssi, result.hdrEcio);
}

unsigned short WirelessCard::getModemType() {
    sendToCard(CnsObjects::OBJ_MODEM_TYPE);
    const unsigned char parameterLength =
        CardReply::byteAt(queryResult, CnsFrame::kParameterLengthOffset);
    for (const unsigned char carriesType : kModemTypeParameterLengths) {
        if (parameterLength == carriesType) {
            return parameterValue16(kModemTypeOffset);
        }
    }
    return kUnknownModemType;
}

const char* WirelessCard::getModemTypeName() {
    const unsigned short type = getModemType();
    for (const auto& modem : kModemNames) {
        if (modem.type == type) {
            return modem.name;
        }
    }
    return kUnknownModemName;
}

void WirelessCard::setHDRHybridPreference(bool preference) {
    CnsImp request;
    request.setCnsObjectForSet(CnsObjects::OBJ_HDR_HYBRID_PREFERENCE);
    int size = 0;
    const std::unique_ptr<unsigned char[]> frame(
        request.getCnsDataForSet(preference ? 1 : 0, size));
    sendToCard(frame.get(), size);
}
