#include "sequencer/text.h"

#include <cstdio>
#include <cstring>

namespace text {

int formatIntoV(char* buffer, std::size_t size, const char* format, std::va_list args) {
    if (buffer == nullptr || size == 0) return -1;
    const int wanted = std::vsnprintf(buffer, size, format, args);
    if (wanted < 0) {
        buffer[0] = '\0';
        return -1;
    }
    const std::size_t kept = static_cast<std::size_t>(wanted) < size ? static_cast<std::size_t>(wanted) : size - 1;
    return static_cast<int>(kept);
}

int formatInto(char* buffer, std::size_t size, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int written = formatIntoV(buffer, size, format, args);
    va_end(args);
    return written;
}

std::size_t copyInto(char* buffer, std::size_t size, const char* source) {
    if (buffer == nullptr || size == 0) return 0;
    std::size_t length = 0;
    if (source != nullptr) {
        while (length + 1 < size && source[length] != '\0') ++length;
        std::memcpy(buffer, source, length);
    }
    buffer[length] = '\0';
    return length;
}

std::size_t appendInto(char* buffer, std::size_t size, const char* source) {
    if (buffer == nullptr || size == 0) return 0;
    const std::size_t used = strnlen(buffer, size);
    if (used == size) {  // not terminated: terminate at the last byte
        buffer[size - 1] = '\0';
        return size - 1;
    }
    return used + copyInto(buffer + used, size - used, source);
}

std::size_t appendFormatInto(char* buffer, std::size_t size, const char* format, ...) {
    char piece[kPieceSize];
    std::va_list args;
    va_start(args, format);
    formatIntoV(piece, sizeof piece, format, args);
    va_end(args);
    return appendInto(buffer, size, piece);
}

}  // namespace text
