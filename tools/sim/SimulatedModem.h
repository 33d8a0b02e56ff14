// A modem played on the master side of a pseudo-terminal.
//
// The card opens the slave side exactly as it opens a /dev/ttyUSB port. A
// thread reads request frames from the master, records them, and answers
// each by its object id with what the test set up: a reply carrying a
// value, an error reply, raw bytes, or nothing at all, optionally late and
// in pieces. Objects nobody set up get no answer. stall() makes it stop
// taking bytes, as a line that no longer drains. Bytes outside frames are
// kept, and each request notes whether the port was then a controlling
// terminal. hangUp() closes the modem end instead of answering, as a modem
// that resets leaves its port; comeBack() brings it back on a new
// pseudo-terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A reply frame: header, parameter escaped, closing flag.
Bytes replyFrame(unsigned short object, unsigned char operation, const Bytes& parameter);
// The parameter of a 16-bit value, big-endian.
Bytes value16(unsigned short value);

class SimulatedModem {
public:
    // Pieces written as they are, each after its delay; none: stay mute.
    struct Answer {
        struct Piece {
            Bytes bytes;
            std::chrono::milliseconds delay{0};
            bool hangUp = false;  // closes the modem end instead
        };
        std::vector<Piece> pieces;

        // The first piece comes `wait` after the request.
        Answer after(std::chrono::milliseconds wait) const;
        // `next` follows this answer's last piece.
        Answer then(const Answer& next) const;
        // The bytes cut at each of `cuts`, a piece each, `gap` apart.
        Answer inPieces(const std::vector<std::size_t>& cuts, std::chrono::milliseconds gap) const;
        Bytes bytes() const;
    };
    static Answer reply(unsigned short object, const Bytes& parameter);
    static Answer errorReply(unsigned short object, const Bytes& parameter);
    static Answer raw(Bytes bytes);
    static Answer mute();
    // The line hangs up: the port's read finds its end, its write EIO.
    static Answer hangUp();

    SimulatedModem();
    ~SimulatedModem();
    SimulatedModem(const SimulatedModem&) = delete;
    SimulatedModem& operator=(const SimulatedModem&) = delete;

    // The slave device the card opens; a new one after comeBack().
    const std::string& devicePath() const { return slavePath; }

    // Whether the line hung up and has not come back.
    bool hungUp() const { return master == -1; }
    // Back on a new pseudo-terminal, as after a reset, answering as set up
    // (turns go on where they were); its path. Until then the old one's
    // number stays taken, so that no other pseudo-terminal gets its path.
    const std::string& comeBack();

    void answer(unsigned short object, Answer answer);
    // Answers `object`'s requests with `turns` in order, one per request,
    // starting over after the last; replaces answer() for that object.
    void answerInTurn(unsigned short object, std::vector<Answer> turns);
    // Shorthand: a normal reply carrying a 16-bit value.
    void answerValue(unsigned short object, unsigned short value);

    // Drops the modem's own hold on the slave, so that only the card has the
    // port open, as with a real modem (a check of who holds the port sees
    // nobody else); while the card has it closed the modem waits.
    void releasePort();

    // Bytes the modem sends without being asked.
    void sendUnsolicited(const Bytes& bytes);

    // Every request frame received so far, in order.
    std::vector<Bytes> requests() const;
    // Bytes received outside any request frame: text sent to the port by mistake.
    std::string unframedBytes() const;
    // Whether the port was some session's controlling terminal when a
    // request came in (the card must open it with O_NOCTTY).
    bool becameControllingTerminal() const;

    // Stops reading requests and fills the line until it takes no more.
    void stall();

private:
    void openLine();
    void serve();
    void handleInput(const unsigned char* bytes, std::size_t count);
    void respond(const Bytes& request);

    std::atomic<int> master{-1};  // -1 while hung up
    int slave = -1;
    std::string slavePath;
    std::atomic<bool> stopping{false};
    std::atomic<bool> stalled{false};
    mutable std::mutex lock;
    std::map<unsigned short, Answer> answers;
    struct Turns {
        std::vector<Answer> answers;
        std::size_t next = 0;
    };
    std::map<unsigned short, Turns> turns;
    std::vector<Bytes> received;
    std::string unframed;
    bool controllingTerminal = false;
    Bytes pending;
    std::thread server;
};
