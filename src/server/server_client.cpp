#include "server/server_client.h"

#include "sequencer/console_io.h"
#include "server/message_buffer.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kLoginSize = 500;
constexpr std::size_t kTestReportSize = 16000;
constexpr std::size_t kQuickReportSize = 4096;
constexpr std::size_t kCalReportSize = 4096;
constexpr int kReplyLimit = 499;  // bytes of a reply that are decoded
constexpr std::int32_t kStatusOk = 200;

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// The status at the start of a reply: blanks skipped, an optional sign, the
// digits that follow; 0 when there are none.
std::int32_t decimalAt(const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<std::int32_t>(value);
}

// What a command returns for a reply's status.
int statusResult(std::int32_t status) {
    if (status == kStatusOk) return 0;
    if (status == 0) return server_code::kNoStatus;
    return status;
}

// The device id as the reports carry it: 16 lower-case hexadecimal digits.
template <std::size_t Size>
void appendDeviceId(MessageBuffer<Size>& message, std::uint64_t deviceId) {
    message.appendFormat("%016llx", static_cast<unsigned long long>(deviceId));
}

}  // namespace

std::size_t parseHexToken(const char* text, std::uint64_t& value) {
    const char* at = text;
    while (*at == ' ' || *at == '\t') ++at;
    if (at[0] != '\0' && (at[1] == 'x' || at[1] == 'X')) at += 2;
    value = 0;
    for (; *at != '\0' && *at != ' ' && !isLineEnd(*at); ++at) {
        value <<= 4;
        const char c = *at;
        if (c >= '0' && c <= '9') {
            value += static_cast<std::uint64_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            value += static_cast<std::uint64_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            value += static_cast<std::uint64_t>(c - 'a' + 10);
        }
    }
    return static_cast<std::size_t>(at - text);
}

ServerClient::~ServerClient() { markClosed(); }

void ServerClient::markClosed() {
    platform::sockets().close(socket_);
    socket_ = platform::kNoSocket;
}

int ServerClient::login(LoginInfo info) {
    platform::Sockets& sockets = platform::sockets();
    std::uint16_t granted = 0;
    if (sockets.startup(platform::kSocketVersion2_2, granted) != 0) return server_code::kStartupFailed;
    if (granted != platform::kSocketVersion2_2) return server_code::kWrongSocketVersion;

    socket_ = sockets.open();
    if (socket_ == platform::kNoSocket) return sockets.lastError();
    // The socket stays: the next receive on it reports what is wrong.
    if (sockets.connect(socket_, kServerAddress, kServerPort) != 0) return server_code::kNotConnected;

    MessageBuffer<kLoginSize> line;
    line.append("ID ");
    line.append(info.programName);
    line.append(" ");
    line.appendFormat("%.02f", info.version);
    line.append(" DQTJ:");
    line.appendFormat("%08X", info.stationJigId);
    line.append(" PW:");
    line.appendFormat("%08X\r\n", info.passwordWord);
    if (!line.fits()) return server_code::kReportTooLarge;
    ServerReply reply;
    return command(line.text(), line.length(), reply);
}

int ServerClient::readReply(ServerReply& reply) {
    reply = ServerReply{};
    if (socket_ == platform::kNoSocket) return server_code::kNotConnected;

    // A reply may come in several pieces: gather them up to its line end.
    platform::Sockets& sockets = platform::sockets();
    char buffer[kReplyLimit + 1] = {};
    int received = 0;
    while (received < kReplyLimit && std::memchr(buffer, '\n', static_cast<std::size_t>(received)) == nullptr) {
        const int n = sockets.receive(socket_, buffer + received, kReplyLimit - received, replyTimeoutMs_);
        if (n > 0) {
            received += n;
            continue;
        }
        if (n == 0 && received > 0) break;  // closed after an answer without its line end
        const int code = sockets.lastError();
        markClosed();
        return code != 0 ? code : server_code::kClosedWithoutReply;
    }
    buffer[received] = '\0';
    decodeReply(buffer, received, reply);
    return 0;
}

void decodeReply(const char* text, int length, ServerReply& reply) {
    int p = 0;
    for (int slot = 0; slot < ServerReply::kSlots; ++slot) {
        if (p >= length || isLineEnd(text[p])) break;
        if (text[p + 1] == 'x' || text[p + 1] == 'X') {
            p += 2;  // this slot stays unwritten
            continue;
        }
        if (slot == 0) {
            reply.slots[0] = static_cast<std::uint32_t>(decimalAt(text + p));
            p += 3;
        } else {
            p += static_cast<int>(parseHexToken(text + p, reply.slots[slot]));
        }
        reply.written |= 1u << slot;
    }
}

int ServerClient::command(const char* line, std::size_t length, ServerReply& reply) {
    platform::sockets().send(socket_, line, static_cast<int>(length));  // a failure shows in the reply
    if (const int code = readReply(reply)) return code;
    return statusResult(reply.status());
}

int ServerClient::valueCommand(const char* line, std::uint64_t& value) {
    ServerReply reply;
    if (const int code = command(line, std::strlen(line), reply)) return code;
    // Without its value a 200 must not hand on a number it never sent.
    if (!reply.has(1)) return server_code::kReplyWithoutValue;
    value = reply.slots[1];
    return 0;
}

int ServerClient::requestSerial(std::uint64_t& value) { return valueCommand("serial\r\n", value); }

int ServerClient::requestMac(std::uint64_t& value) { return valueCommand("mac\r\n", value); }

template <std::size_t Size>
int ServerClient::sendResults(const char* keyword, bool showLength, const char* const* rows, int count,
                              std::uint64_t deviceId) {
    MessageBuffer<Size> message;
    message.append(keyword);
    message.append(" 0x");
    appendDeviceId(message, deviceId);
    message.append(" {");
    for (int i = 0; i < count; ++i) {
        if (i > 0) message.append(";");
        message.append(rows[i]);
    }
    message.append("}\r\n");
    if (!message.fits()) return server_code::kReportTooLarge;
    if (showLength) print("TX length: %i\r\n", static_cast<int>(message.length()));
    ServerReply reply;
    return command(message.text(), message.length(), reply);
}

int ServerClient::sendTestResults(const char* const* rows, int count, std::uint64_t deviceId) {
    return sendResults<kTestReportSize>("test", true, rows, count, deviceId);
}

int ServerClient::sendQuickTestResults(const char* const* rows, int count, std::uint64_t deviceId) {
    return sendResults<kQuickReportSize>("qtest", false, rows, count, deviceId);
}

int ServerClient::sendCalibration(CalReportEntry* entries, std::uint64_t deviceId) {
    MessageBuffer<kCalReportSize> message;
    message.append("cal 0x");
    appendDeviceId(message, deviceId);
    message.append(" {");
    for (int i = 0; i < kCalReportEntries; ++i) {
        char* text = entries[i].text;
        text[std::strcspn(text, "\r\n")] = '\0';
        if (i > 0) message.append(";");
        message.append(text);
        // A text that holds a colon already carries its value.
        if (std::strchr(text, ':') == nullptr) message.appendFormat(":%.09f", entries[i].value);
    }
    message.append("}\r\n");
    if (!message.fits()) return server_code::kReportTooLarge;
    ServerReply reply;
    return command(message.text(), message.length(), reply);
}
