// The link to the modem's port: its open, its serial settings, its lock and
// one request/reply transaction at a time.
//
// The link opens the modem's control port, puts it into raw mode
// (SerialSettings) and runs one transaction per request, under the port's
// lock (PortLock): drop pending input, write the request, then wait up to
// kReplyWait for the reply frame, read in as many pieces as it comes
// (CardPort). Frames for another object, torn frames and bytes outside a
// frame are not the reply. The reply is unescaped into the query result and
// its header decoded; WirelessCard's queries read their values from it.
//
// Failures that end a run are thrown as CnsErrors::ReturnErrors; the others
// (a failed write or select, an error reply) are reported and the
// transaction returns. A port that went away (the modem reset or was
// unplugged: a write or read says EIO, ENXIO or ENODEV, or the line hung
// up) ends the transaction as PORT_GONE; the descriptor leads nowhere after
// that, so later transactions fail the same way at once and its settings
// are not put back. Every diagnostic goes to the link's sink: standard
// error unless reportTo names another.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "card/Diagnostics.h"
#include "card/PortLock.h"
#include "cns/CnsImp.h"
#include "cns/CnsObjects.h"
#include "cns/CnsPacketData.h"

class CardLink {
public:
    // Sees the frames of every transaction: the request once written, the
    // reply as read, and the reply unescaped. None is set by default.
    enum class FrameDirection { Request, Reply, UnescapedReply };
    using FrameObserver = void (*)(void* context, FrameDirection direction,
                                   const unsigned char* bytes, std::size_t count);

    // How long a transaction waits for its reply.
    static constexpr std::chrono::seconds kReplyWait{1};

    CardLink();
    // Leaves the port open: only closeCard() closes it.
    ~CardLink() = default;
    CardLink(const CardLink&) = delete;
    CardLink& operator=(const CardLink&) = delete;

    // Opens the port the driver list names; throws ERROR_OPENING_PORT and
    // PORT_BUSY.
    void openCard();
    // Opens and configures the given terminal, closing the port the card
    // had open; throws ERROR_OPENING_PORT and PORT_BUSY.
    void openCard(const char* path);
    void configurePortForNonCanonicalMode(int port);
    void closeCard();

    // One transaction with an encoded frame; throws CARD_NOT_OPEN,
    // PORT_BUSY, PORT_GONE, NO_DATA_RETURNED and UNUSABLE_REPLY. The reply is the
    // first complete frame for the frame's object (offsets 5-6) that the
    // modem sends after it.
    void sendToCard(unsigned char* frame, int length);
    // A get request from `request`, whatever operation type it holds.
    void sendToCard(const CnsImp& request);
    void sendToCard(CnsObjects::CnsObjectTypes object);

    // Big-endian values of the last reply, flags included; throw
    // UNUSABLE_REPLY when the reply is too short for them. The queries
    // also refuse a value that would take the closing flag.
    unsigned short get16ValFromQueryResult(int offset) const;
    unsigned short get16ValFromQueryResult() const;
    unsigned int get32ValFromQueryResult(int offset) const;

    // How long the port's lock is waited for; by default 1 second per lock
    // and 1 second over the card's life, with no turn gap. A request's wait
    // for the port to take it (at most 1 second) draws on the same budget.
    void setLockWait(const LockWait& wait) { lockBudget = LockBudget(wait); }
    // Puts back the settings the port had before openCard configured it,
    // unless another program holds the port or the port is gone.
    void restorePortSettings();

    void observeFrames(FrameObserver observer, void* context) {
        frameObserver = observer;
        frameObserverContext = context;
    }
    // Where the link's diagnostic lines go.
    void reportTo(const Diagnostics::Reporter& reporter) { report = reporter; }
    const Diagnostics::Reporter& reporter() const { return report; }

    bool isOpen() const { return fd >= 0; }
    // Whether a transaction found the open port gone, and the errno that
    // said so (EIO for a hang-up); 0 while it is there.
    bool portGone() const { return goneError != 0; }
    int portGoneError() const { return goneError; }
    int descriptor() const { return fd; }
    const std::string& portPath() const { return path; }
    const std::vector<unsigned char>& lastReply() const { return queryResult; }
    const CnsPacketData& lastReplyHeader() const { return cnsPacket; }

protected:
    // The 16-bit value at `offset` of the last reply's parameter.
    unsigned short parameterValue16(int offset) const;

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
    [[noreturn]] void failToOpen(const char* path);
    [[noreturn]] void failGone(int errorNumber);
    void reportBusy() const;
    [[noreturn]] void failBusy() const;
    void showFrame(FrameDirection direction, const unsigned char* bytes, std::size_t count) const {
        if (frameObserver != nullptr) {
            frameObserver(frameObserverContext, direction, bytes, count);
        }
    }

    int fd;
    int goneError = 0;
    std::vector<unsigned char> queryResult;
    CnsPacketData cnsPacket;
    std::string path;
    LockBudget lockBudget;
    std::optional<termios> settingsBeforeOpen;
    std::optional<termios> settingsInForce;  // as read back after configuring
    FrameObserver frameObserver = nullptr;
    void* frameObserverContext = nullptr;
    Diagnostics::Reporter report;
};
