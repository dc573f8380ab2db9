// Bounded text helpers. Every station text is a fixed-size, NUL-terminated
// character array; these fill them without ever writing past the end: what
// does not fit is cut, and the result is always terminated.
#pragma once

#include <cstdarg>
#include <cstddef>

#define DQ_PRINTF_LIKE(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))

namespace text {

// Sizes of the station's fixed texts.
constexpr std::size_t kDetailsSize = 500;  // TestContext::details
constexpr std::size_t kPieceSize = 200;    // one piece appended to details
constexpr std::size_t kScratchSize = 128;  // a formatted number or short piece

// Formats into buffer[size]. Returns the number of characters stored (cut
// text counts what was kept), or -1 when formatting failed or size is 0; on
// failure the buffer holds an empty text (when it has room for one).
int formatInto(char* buffer, std::size_t size, const char* format, ...) DQ_PRINTF_LIKE(3, 4);
int formatIntoV(char* buffer, std::size_t size, const char* format, std::va_list args);

// Copies source into buffer[size], cutting it to size - 1 characters.
// Returns the number of characters stored.
std::size_t copyInto(char* buffer, std::size_t size, const char* source);

// Appends source to the text in buffer[size], cutting what does not fit.
// Returns the length of the text in buffer afterwards.
std::size_t appendInto(char* buffer, std::size_t size, const char* source);

// Formats a piece of at most kPieceSize - 1 characters and appends it to the
// text in buffer[size]. Returns the length of the text afterwards.
std::size_t appendFormatInto(char* buffer, std::size_t size, const char* format, ...)
    DQ_PRINTF_LIKE(3, 4);

// Array forms: the size is taken from the array, so it cannot be wrong.
template <std::size_t N>
int format(char (&buffer)[N], const char* format, ...) DQ_PRINTF_LIKE(2, 3);

template <std::size_t N>
int format(char (&buffer)[N], const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int written = formatIntoV(buffer, N, format, args);
    va_end(args);
    return written;
}

template <std::size_t N>
std::size_t copy(char (&buffer)[N], const char* source) {
    return copyInto(buffer, N, source);
}

template <std::size_t N>
std::size_t append(char (&buffer)[N], const char* source) {
    return appendInto(buffer, N, source);
}

template <std::size_t N>
std::size_t appendFormat(char (&buffer)[N], const char* format, ...) DQ_PRINTF_LIKE(2, 3);

template <std::size_t N>
std::size_t appendFormat(char (&buffer)[N], const char* format, ...) {
    char piece[kPieceSize];
    std::va_list args;
    va_start(args, format);
    formatIntoV(piece, sizeof piece, format, args);
    va_end(args);
    return appendInto(buffer, N, piece);
}

}  // namespace text
