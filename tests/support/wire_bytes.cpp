#include "support/wire_bytes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace testing_support {

Bytes hex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) throw std::invalid_argument("not hex: " + std::string(text));
        const int nibble = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        if (high < 0) {
            high = nibble;
        } else {
            out.push_back(static_cast<std::uint8_t>(high << 4 | nibble));
            high = -1;
        }
    }
    if (high >= 0) throw std::invalid_argument("odd number of hex digits: " + std::string(text));
    return out;
}

std::string toHex(const Bytes& bytes) {
    std::string out;
    char piece[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(piece, sizeof piece, i ? " %02X" : "%02X", bytes[i]);
        out += piece;
    }
    return out;
}

Bytes feedbackMessage(const Bytes& body) {
    const std::size_t length = body.size() + 2;
    Bytes out(8 + body.size(), 0);
    out[4] = static_cast<std::uint8_t>(length >> 8);
    out[5] = static_cast<std::uint8_t>(length);
    out[7] = 76;
    std::copy(body.begin(), body.end(), out.begin() + 8);
    return out;
}

Bytes feedbackMessage(const std::string& bodyHex) { return feedbackMessage(hex(bodyHex)); }

}  // namespace testing_support
