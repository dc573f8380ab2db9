#include "platform/console.h"

#include <cstdio>

namespace platform {
namespace {

class PosixConsole : public Console {
public:
    void write(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    int readChar() override {
        const int c = std::getchar();
        return c == EOF ? -1 : c;
    }
    // A terminal here has no window the program may move or size.
    void placeWindow(int, int, int, int) override {}
};

}  // namespace

Console& systemConsole() {
    static PosixConsole console;
    return console;
}

}  // namespace platform
