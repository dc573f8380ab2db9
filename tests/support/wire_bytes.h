// Bytes written as hex text ("00 4C 01 75"), for tests that show the wire.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// Parses hex byte pairs; spaces and line breaks between them are ignored.
Bytes hex(std::string_view text);
std::string toHex(const Bytes& bytes);

// A Modbus-feedback message: transaction 0, protocol 0, the length field,
// unit 0, function 76, then body.
Bytes feedbackMessage(const Bytes& body);
Bytes feedbackMessage(const std::string& bodyHex);

}  // namespace testing_support
