#include "sequencer/console_io.h"

#include "platform/console.h"

#include <cstdarg>
#include <cstdio>
#include <string>

void print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        std::string out(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<std::size_t>(length));
        platform::console().write(out);
    }
    va_end(args);
}

std::size_t readInput(char* target, std::size_t count) {
    std::size_t read = 0;
    while (read < count) {
        const int c = platform::console().readChar();
        if (c < 0) break;
        target[read++] = static_cast<char>(c);
    }
    return read;
}
