#include "wire_text.h"

#include <cstdio>

namespace testserver {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isControl(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }

}  // namespace

std::optional<std::uint64_t> parseHexDigits(std::string_view text, std::size_t digits) {
    if (text.size() != digits || digits == 0 || digits > 16) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return value;
}

std::string hexValue(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string stationText(std::uint32_t stationId) {
    char text[12];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(stationId));
    return text;
}

std::optional<std::size_t> firstControlByte(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (isControl(static_cast<unsigned char>(line[i]))) return i;
    }
    return std::nullopt;
}

std::string printable(std::string_view line, std::size_t maxLength) {
    std::string text;
    for (std::size_t i = 0; i < line.size() && i < maxLength; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (isControl(c)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        } else {
            text += static_cast<char>(c);
        }
    }
    if (line.size() > maxLength) text += "... (" + std::to_string(line.size()) + " bytes)";
    return text;
}

}  // namespace testserver
