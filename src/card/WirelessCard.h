// The modem behind its serial port.
//
// The card finds the modem's control port, puts it into raw mode and runs
// one request/reply transaction per query, under the port's lock (PortLock):
// drop pending input, write the request, then wait up to 1 second for the
// reply frame, read in as many pieces as it comes (CardPort). Frames for
// another object, torn frames and bytes outside a frame are not the reply. The reply
// is unescaped into queryResult and its header decoded into cnsPacket;
// queries then read their values from queryResult at fixed offsets.
//
// Failures that end a run are thrown as CnsErrors::ReturnErrors; the others
// (a failed write or select, an error reply) are reported on standard error
// and the transaction returns.
#pragma once

#include <termios.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "card/CnsResults.h"
#include "card/PortLock.h"
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

    // Opens the port the driver list names; throws ERROR_OPENING_PORT and
    // PORT_BUSY.
    void openCard();
    // Opens and configures the given terminal; throws ERROR_OPENING_PORT
    // and PORT_BUSY.
    void openCard(const char* path);
    void configurePortForNonCanonicalMode(int port);
    void closeCard();

    // One transaction with an encoded frame; throws CARD_NOT_OPEN,
    // PORT_BUSY, NO_DATA_RETURNED and UNUSABLE_REPLY. The reply is the
    // first complete frame for the frame's object (offsets 5-6) that the
    // modem sends after it.
    void sendToCard(unsigned char* frame, int length);
    // A get request from `request`, whatever operation type it holds.
    void sendToCard(const CnsImp& request);
    void sendToCard(CnsObjects::CnsObjectTypes object);

    // Big-endian values of the last reply, flags included; throw
    // UNUSABLE_REPLY when the reply is too short for them. The queries below
    // also refuse a value that would take the closing flag.
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

    // How long the port's lock is waited for; by default 1 second per lock
    // and 1 second over the card's life, with no turn gap. A request's wait
    // for the port to take it (at most 1 second) draws on the same budget.
    void setLockWait(const LockWait& wait) { lockBudget = LockBudget(wait); }
    // Puts back the settings the port had before openCard configured it,
    // unless another program holds the port.
    void restorePortSettings();

    void observeFrames(FrameObserver observer, void* context) {
        frameObserver = observer;
        frameObserverContext = context;
    }

    bool isOpen() const { return fd >= 0; }
    int descriptor() const { return fd; }
    const std::string& portPath() const { return path; }
    const std::vector<unsigned char>& lastReply() const { return queryResult; }
    const CnsPacketData& lastReplyHeader() const { return cnsPacket; }

private:
    // Whether a frame the port sent answers the request for `awaited`.
    struct AwaitedReply {
        bool anyObject;  // a raw request too short to name its object
        unsigned short object;
    };
    void rememberSettingsInForce();
    void keepSettings();
    bool writeRequest(const unsigned char* frame, std::size_t count);
    void receiveReply(AwaitedReply awaited);
    bool isReplyTo(AwaitedReply awaited, const unsigned char* frame) const;
    void storeReply(const unsigned char* bytes, std::size_t count);
    unsigned short query16(CnsObjects::CnsObjectTypes object);
    unsigned short parameterValue16(int offset) const;
    [[noreturn]] void failToOpen(const char* path);
    void reportBusy() const;
    [[noreturn]] void failBusy() const;
    void showFrame(FrameDirection direction, const unsigned char* bytes, std::size_t count) const {
        if (frameObserver != nullptr) {
            frameObserver(frameObserverContext, direction, bytes, count);
        }
    }

    int fd;
    std::vector<unsigned char> queryResult;
    CnsPacketData cnsPacket;
    std::string path;
    LockBudget lockBudget;
    std::optional<termios> settingsBeforeOpen;
    std::optional<termios> settingsInForce;  // as read back after configuring
    FrameObserver frameObserver = nullptr;
    void* frameObserverContext = nullptr;
};
