// Small pieces of the line protocol's text: hex numbers and the bytes a line
// may hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace testserver {

// Exactly `digits` hex digits (either case), nothing else.
std::optional<std::uint64_t> parseHexDigits(std::string_view text, std::size_t digits);
// "0x" and `digits` upper-case hex digits, as replies carry them.
std::string hexValue(std::uint64_t value, int digits);
// The station id as stations print it: 8 upper-case hex digits.
std::string stationText(std::uint32_t stationId);

// Where the first control byte (NUL and the like; tab and 8-bit text are
// fine) stands, or nullopt.
std::optional<std::size_t> firstControlByte(std::string_view line);

// A line cut to a length fit for a log, with control bytes shown as \xNN.
std::string printable(std::string_view line, std::size_t maxLength = 60);

}  // namespace testserver
