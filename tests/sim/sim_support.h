// Helpers for the Z6 model tests: requests and replies as hex text, a
// function-76 request builder, the words a request read, and a scratch
// directory.
#pragma once

#include "platform/virtual_clock.h"
#include "support/temp_dir.h"
#include "support/wire_bytes.h"
#include "z6/z6_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sim_test {

// Bytes as hex text both ways ("12 34 0A"), so that a failing comparison
// shows the wire.
using testing_support::hex;
inline std::string hexText(const std::vector<std::uint8_t>& bytes) { return testing_support::toHex(bytes); }

inline std::vector<std::uint8_t> u16Bytes(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

inline std::vector<std::uint8_t> u32Bytes(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

// A function-76 request, frame by frame (transaction id 0x0001, unit 1).
class Feedback {
public:
    Feedback& write(std::uint16_t address, const std::vector<std::uint8_t>& data) {
        frame(1, address, static_cast<std::uint8_t>(data.size() / 2));
        pdu_.insert(pdu_.end(), data.begin(), data.end());
        return *this;
    }
    Feedback& writeU16(std::uint16_t address, std::uint16_t value) { return write(address, u16Bytes(value)); }
    Feedback& writeU32(std::uint16_t address, std::uint32_t value) { return write(address, u32Bytes(value)); }
    Feedback& read(std::uint16_t address, std::uint8_t count) {
        frame(0, address, count);
        return *this;
    }
    std::vector<std::uint8_t> bytes() const {
        const std::size_t length = 2 + pdu_.size();
        std::vector<std::uint8_t> adu = {0x00, 0x01, 0x00, 0x00, static_cast<std::uint8_t>(length >> 8),
                                         static_cast<std::uint8_t>(length), 0x01, 0x4C};
        adu.insert(adu.end(), pdu_.begin(), pdu_.end());
        return adu;
    }

private:
    void frame(std::uint8_t kind, std::uint16_t address, std::uint8_t count) {
        pdu_.insert(pdu_.end(), {kind, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
                                 count});
    }
    std::vector<std::uint8_t> pdu_;
};

inline std::string send(z6::Z6Model& model, const std::vector<std::uint8_t>& request) {
    return hexText(model.handleRequest(request.data(), request.size()));
}

// The reply to a Feedback request that succeeded: the header, then data.
inline std::string feedbackReply(std::string_view data) {
    const std::size_t length = 2 + hex(data).size();
    return hexText({0x00, 0x01, 0x00, 0x00, static_cast<std::uint8_t>(length >> 8),
                    static_cast<std::uint8_t>(length), 0x01, 0x4C}) +
           (data.empty() ? "" : " " + std::string(data));
}

// The exception reply to a Feedback request: exception code, device error.
inline std::string feedbackException(std::uint8_t exception, std::uint16_t deviceError) {
    return hexText({0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0xCC, exception,
                    static_cast<std::uint8_t>(deviceError >> 8), static_cast<std::uint8_t>(deviceError)});
}

// Sends a Feedback request and returns the 16-bit words it read; a reply
// that is not a plain Feedback reply fails the test and gives none.
inline std::vector<std::uint16_t> wordsRead(z6::Z6Model& model, const Feedback& request) {
    const std::vector<std::uint8_t> bytes = request.bytes();
    const std::vector<std::uint8_t> reply = model.handleRequest(bytes.data(), bytes.size());
    constexpr std::size_t kHeader = 8;
    std::vector<std::uint16_t> words;
    if (reply.size() < kHeader || reply[7] != 0x4C || reply.size() % 2 != 0) {
        ADD_FAILURE() << "reply " << hexText(reply);
        return words;
    }
    for (std::size_t i = kHeader; i < reply.size(); i += 2) {
        words.push_back(static_cast<std::uint16_t>(reply[i] << 8 | reply[i + 1]));
    }
    return words;
}

using TempDir = testing_support::TempDir;

}  // namespace sim_test
