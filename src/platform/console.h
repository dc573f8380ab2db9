// The station's console: text out, characters in, and the window it lives in.
// Production writes to standard output and reads standard input; tests and
// the in-process station fixture install a console that records.
#pragma once

#include <string_view>

namespace platform {

class Console {
public:
    virtual ~Console() = default;
    // Writes text exactly as given (no line-end translation).
    virtual void write(std::string_view text) = 0;
    // Reads one character; returns it as an unsigned char value, or -1 at
    // end of input.
    virtual int readChar() = 0;
    // Places and sizes the console window in screen pixels, repainting it.
    virtual void placeWindow(int x, int y, int width, int height) = 0;
};

// The console of this platform (standard output and input).
Console& systemConsole();

// The console in use: the system console unless another was installed.
Console& console();

// Installs a console (nullptr restores the system console); returns the one
// that was in use.
Console* installConsole(Console* console);

}  // namespace platform
