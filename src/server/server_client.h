// The station's client of the factory test server: one TCP connection per
// run, a line-oriented text protocol. Each command sends one line ending in
// CR LF and decodes the server's one-line answer: a three-digit status
// (200 is the only success) and up to nine hexadecimal values.
#pragma once

#include "platform/sockets.h"

#include <cstddef>
#include <cstdint>

// Where the station finds the server.
constexpr char kServerAddress[] = "127.0.0.1";
constexpr std::uint16_t kServerPort = 5001;

// A reply must be complete this long after its command was sent. A busy
// server committing to disk answers in well under a second; anything near
// this is a server that will not answer.
constexpr int kReplyTimeoutMs = 30000;

// Result codes of the client's operations besides 0 (success), a status
// other than 200 (returned unchanged) and the platform's socket error codes.
namespace server_code {
constexpr int kWrongSocketVersion = 1;  // the socket library is not version 2.2
constexpr int kStartupFailed = 2;       // the socket library did not start
constexpr int kNotConnected = 3;        // connect failed, or the connection is closed
constexpr int kClosedWithoutReply = 4;  // the server closed the connection before answering
constexpr int kReportTooLarge = 5;      // the message does not fit its buffer; nothing was sent
constexpr int kReplyWithoutValue = 6;   // status 200 without the value the command asks for
constexpr int kNoStatus = 10;           // the reply does not start with a status
}  // namespace server_code

struct LoginInfo {
    const char* programName;
    double version;
    std::uint32_t stationJigId;  // names this station to the server
    std::uint32_t passwordWord;
};

// A decoded reply: slot 0 the status (a signed 32-bit number in the low
// half), slots 1 to 9 the values in the order they came. Slots the reply
// does not reach stay 0 and are not marked written.
struct ServerReply {
    static constexpr int kSlots = 10;
    std::uint64_t slots[kSlots] = {};
    std::uint32_t written = 0;  // bit i: slot i was written

    std::int32_t status() const { return static_cast<std::int32_t>(static_cast<std::uint32_t>(slots[0])); }
    bool has(int slot) const { return (written >> slot & 1u) != 0; }
};

// One entry of the calibration report. The text is cut in place at its
// first line end before it is sent.
struct CalReportEntry {
    char* text;
    double value;
};

constexpr int kCalReportEntries = 43;

// A hexadecimal value at text: leading blanks and tabs and a "0x" prefix
// skipped, then every character up to NUL, blank, CR or LF taken as a digit
// (one that is not a hexadecimal digit counts as 0; digits beyond the
// sixteenth push the oldest out). Returns the characters consumed; the
// terminating one is not.
std::size_t parseHexToken(const char* text, std::uint64_t& value);

// Decodes the length bytes of a reply at text (NUL-terminated after them):
// the status from its first three characters, then a value per token; a
// token whose second character is 'x' or 'X' only moves on to the next slot.
void decodeReply(const char* text, int length, ServerReply& reply);

class ServerClient {
public:
    explicit ServerClient(int replyTimeoutMs = kReplyTimeoutMs) : replyTimeoutMs_(replyTimeoutMs) {}
    ~ServerClient();
    ServerClient(const ServerClient&) = delete;
    ServerClient& operator=(const ServerClient&) = delete;

    // Starts the socket library, connects to the server and logs in.
    int login(LoginInfo info);
    // The next serial number or MAC address (slot 1 of the reply).
    int requestSerial(std::uint64_t& value);
    int requestMac(std::uint64_t& value);
    // The "test" report (jig stations; its length goes to the console first)
    // and the "qtest" report, of count summary rows.
    int sendTestResults(const char* const* rows, int count, std::uint64_t deviceId);
    int sendQuickTestResults(const char* const* rows, int count, std::uint64_t deviceId);
    // The "cal" report of kCalReportEntries entries.
    int sendCalibration(CalReportEntry* entries, std::uint64_t deviceId);

    // Receives one reply, up to its line end or 499 bytes, and decodes it.
    // 0, or a code; a failed receive closes the connection.
    int readReply(ServerReply& reply);

    bool connected() const { return socket_ != platform::kNoSocket; }

private:
    int command(const char* line, std::size_t length, ServerReply& reply);
    int valueCommand(const char* line, std::uint64_t& value);
    template <std::size_t Size>
    int sendResults(const char* keyword, bool showLength, const char* const* rows, int count, std::uint64_t deviceId);
    void markClosed();

    platform::SocketHandle socket_ = platform::kNoSocket;
    int replyTimeoutMs_;
};
