#include "card/WirelessCard.h"

#include <fcntl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <string>

#include "card/CardReply.h"
#include "card/Diagnostics.h"
#include "card/PortDiscovery.h"
#include "cns/CnsErrors.h"
#include "cns/CnsFrame.h"

using Diagnostics::reportLine;
using Diagnostics::reportSystemError;

namespace {

// The port path was built in a 100-byte buffer, terminator included.
constexpr std::size_t kMaxPathLength = 99;
constexpr long kReplyWaitSeconds = 1;
constexpr std::size_t kReadSize = 125;
constexpr cc_t kMinimumReadBytes = 5;
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

}  // namespace

WirelessCard::WirelessCard() : fd(-1) {
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
    fd = ::open(path, O_RDWR | O_NOCTTY);
    if (fd == -1) {
        failToOpen(path);
    }
    hasSettingsBeforeOpen = ::tcgetattr(fd, &settingsBeforeOpen) == 0;
    configurePortForNonCanonicalMode(fd);
}

void WirelessCard::failToOpen(const char* path) {
    reportSystemError("Error opening port " + std::string(path) + ": " + std::to_string(fd));
    throw CnsErrors::ERROR_OPENING_PORT;
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

void WirelessCard::restorePortSettings() {
    if (fd >= 0 && hasSettingsBeforeOpen) {
        ::tcsetattr(fd, TCSANOW, &settingsBeforeOpen);
    }
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
    if (::write(fd, frame, length) == -1) {
        reportSystemError("Error writing ");
        return;
    }
    showFrame(FrameDirection::Request, frame, static_cast<std::size_t>(length));
    const ReplyWait wait = waitForReply();
    if (wait == ReplyWait::Failed) {
        return;
    }
    std::array<unsigned char, kReadSize> buffer;
    const std::size_t received =
        wait == ReplyWait::Readable ? readAvailable(buffer.data(), buffer.size()) : 0;
    if (received == 0) {
        reportLine("No data was returned by query.");
        throw CnsErrors::NO_DATA_RETURNED;
    }
    showFrame(FrameDirection::Reply, buffer.data(), received);
    storeReply(buffer.data(), received);
    if (cnsPacket.isError()) {
        reportLine(std::to_string(static_cast<short>(cnsPacket.cnsObjectId)) +
                   " query data packet has an error associated with it.");
    }
}

WirelessCard::ReplyWait WirelessCard::waitForReply() const {
    if (fd >= FD_SETSIZE) {
        errno = EINVAL;  // select cannot watch it
        reportSystemError("select system call failed: ");
        return ReplyWait::Failed;
    }
    timeval timeout{kReplyWaitSeconds, 0};
    for (;;) {
        fd_set readSet;
        FD_ZERO(&readSet);
        FD_SET(fd, &readSet);
        errno = 0;
        const int ready = ::select(fd + 1, &readSet, nullptr, nullptr, &timeout);
        if (ready > 0) {
            return ReplyWait::Readable;
        }
        if (ready == 0) {
            return ReplyWait::TimedOut;
        }
        // The probe installs no signal handler, so EINTR should not come; should
        // one arrive anyway, Linux has left the rest of the wait in `timeout`.
        if (errno != EINTR) {
            reportSystemError("select system call failed: ");
            return ReplyWait::Failed;
        }
    }
}

std::size_t WirelessCard::readAvailable(unsigned char* buffer, std::size_t size) const {
    // The port blocks until 5 bytes are in (VMIN 5), and Linux reports it
    // readable only then. Settings that did not apply (they are not checked)
    // or another line discipline could still leave fewer, and a blocking read
    // would then wait for ever; so the one read takes only what is there.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) {
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
    ssize_t received;
    do {
        received = ::read(fd, buffer, size);
    } while (received == -1 && errno == EINTR);
    if (flags != -1) {
        ::fcntl(fd, F_SETFL, flags);
    }
    return received > 0 ? static_cast<std::size_t>(received) : 0;
}

void WirelessCard::storeReply(const unsigned char* bytes, std::size_t count) {
    CardReply::unescape(bytes, count, queryResult);
    showFrame(FrameDirection::UnescapedReply, queryResult.data(), queryResult.size());
    CardReply::decode(queryResult, cnsPacket);
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

unsigned short WirelessCard::query16(CnsObjects::CnsObjectTypes object) {
    sendToCard(object);
    return get16ValFromQueryResult();
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
    return get16ValFromQueryResult() == 1;
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
        get16ValFromQueryResult(kCdmaRssiOffset), get16ValFromQueryResult(kCdmaEcioOffset),
        get16ValFromQueryResult(kHdrRssiOffset), get16ValFromQueryResult(kHdrEcioOffset)};
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
            return get16ValFromQueryResult(kModemTypeOffset);
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
