// A message built piece by piece into a fixed-size buffer. A piece that
// does not fit whole marks the message too large instead of being cut, so
// a report is sent complete or not at all.
#pragma once

#include "sequencer/text.h"

#include <cstddef>
#include <cstring>

template <std::size_t Size>
class MessageBuffer {
public:
    void append(const char* piece) { appendBytes(piece, std::strlen(piece)); }

    void appendFormat(const char* format, ...) DQ_PRINTF_LIKE(2, 3) {
        char piece[text::kScratchSize];
        std::va_list args;
        va_start(args, format);
        const int length = text::formatIntoV(piece, sizeof piece, format, args);
        va_end(args);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof piece - 1) {
            tooLarge_ = true;  // the piece itself may have been cut
            return;
        }
        appendBytes(piece, static_cast<std::size_t>(length));
    }

    // Whether every piece fitted, the terminating NUL included.
    bool fits() const { return !tooLarge_; }
    const char* text() const { return buffer_; }
    std::size_t length() const { return length_; }

private:
    void appendBytes(const char* piece, std::size_t count) {
        if (tooLarge_ || count > Size - 1 - length_) {
            tooLarge_ = true;
            return;
        }
        std::memcpy(buffer_ + length_, piece, count);
        length_ += count;
        buffer_[length_] = '\0';
    }

    char buffer_[Size] = {};
    std::size_t length_ = 0;
    bool tooLarge_ = false;
};
