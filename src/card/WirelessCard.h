// The modem behind its serial port.
//
// The card finds the modem's control port, puts it into raw mode and runs
// one request/reply transaction per query: write the request frame, wait up
// to 1 second for the reply, read it in one chunk, unescape it into
// queryResult and decode its header into cnsPacket. Queries then read their
// values from queryResult at fixed offsets.
//
// Failures that end a run are thrown as CnsErrors::ReturnErrors; the others
// (a failed write or select, an error reply) are reported on standard error
// and the transaction returns.
#pragma once

#include <termios.h>

#include <cstddef>
#include <vector>

#include "card/CnsResults.h"
#include "cns/CnsImp.h"
#include "cns/CnsObjects.h"
#include "cns/CnsPacketData.h"

class WirelessCard {
public:
    // Sees the frames of every transaction: the request once written, the
    // reply as read, and the reply unescaped. None is set by default.
    enum class FrameDirection { Request, Reply, UnescapedReply };
    using FrameObserver = void (*)(void* context, FrameDirection direction,
                                   const unsigned char* bytes, std::size_t count);

    WirelessCard();
    // Leaves the port open: only closeCard() closes it.
    ~WirelessCard() = default;
    WirelessCard(const WirelessCard&) = delete;
    WirelessCard& operator=(const WirelessCard&) = delete;

    // Opens the port the driver list names; throws ERROR_OPENING_PORT.
    void openCard();
    // Opens and configures the given device; throws ERROR_OPENING_PORT.
    void openCard(const char* path);
    void configurePortForNonCanonicalMode(int port);
    void closeCard();

    // One transaction with an encoded frame; throws CARD_NOT_OPEN,
    // NO_DATA_RETURNED and UNUSABLE_REPLY.
    void sendToCard(unsigned char* frame, int length);
    // A get request from `request`, whatever operation type it holds.
    void sendToCard(const CnsImp& request);
    void sendToCard(CnsObjects::CnsObjectTypes object);

    // Big-endian values of the last reply; throw UNUSABLE_REPLY when the
    // reply is too short for them.
    unsigned short get16ValFromQueryResult(int offset) const;
    unsigned short get16ValFromQueryResult() const;
    unsigned int get32ValFromQueryResult(int offset) const;

    short getRssi();
    unsigned short getRoamingStatus();

    // Further queries: each one transaction, then fixed-offset reads.
    bool isModemActivated();
    unsigned short getServiceIndication();
    bool getHybridMode();
    unsigned short getHDRServiceState();
    unsigned short getHDRRoamStatus();
    void getHDRMiscNotificationStatus(CnsResults::CndQueryResult_HDRMiscNoticationStatus& status);
    unsigned short getBandClass();
    // `first` for band class 0, `second` for band class 1.
    short getBandClass(bool& first, bool& second);
    // 0 or 1 for those band classes, -1 for any other.
    int getBandClassType();
    void getRssiEcloForCDMAndHDR(unsigned short& cdmaRssi, unsigned short& cdmaEcio,
                                 unsigned short& hdrRssi, unsigned short& hdrEcio);
    void getRssiEcloForCDMAndHDR(CnsResults::CnsQueryResultRSSI_Eclo_CDMA_HDR& result);
    // 0xFFFF when the reply does not carry the modem type.
    unsigned short getModemType();
    const char* getModemTypeName();

    void setHDRHybridPreference(bool preference);

    void observeFrames(FrameObserver observer, void* context) {
        frameObserver = observer;
        frameObserverContext = context;
    }

    bool isOpen() const { return fd >= 0; }
    // The port's descriptor; -1 when closed.
    int descriptor() const { return fd; }
    // Puts back the serial settings the port had before openCard set its own.
    void restorePortSettings();
    const std::vector<unsigned char>& lastReply() const { return queryResult; }
    const CnsPacketData& lastReplyHeader() const { return cnsPacket; }

private:
    enum class ReplyWait { Readable, TimedOut, Failed };

    ReplyWait waitForReply() const;
    std::size_t readAvailable(unsigned char* buffer, std::size_t size) const;
    void storeReply(const unsigned char* bytes, std::size_t count);
    unsigned short query16(CnsObjects::CnsObjectTypes object);
    [[noreturn]] void failToOpen(const char* path);
    void showFrame(FrameDirection direction, const unsigned char* bytes, std::size_t count) const {
        if (frameObserver != nullptr) {
            frameObserver(frameObserverContext, direction, bytes, count);
        }
    }

    int fd;
    termios settingsBeforeOpen{};
    bool hasSettingsBeforeOpen = false;
    std::vector<unsigned char> queryResult;
    CnsPacketData cnsPacket;
    FrameObserver frameObserver = nullptr;
    void* frameObserverContext = nullptr;
};
