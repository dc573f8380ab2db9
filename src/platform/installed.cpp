// Selection of the clock and console in use; shared by every platform.
#include "platform/clock.h"
#include "platform/console.h"

namespace platform {
namespace {
Clock* installedClock = nullptr;
Console* installedConsole = nullptr;
}  // namespace

Clock& clock() { return installedClock ? *installedClock : systemClock(); }

Clock* installClock(Clock* clock) {
    Clock* previous = installedClock;
    installedClock = clock;
    return previous;
}

Console& console() { return installedConsole ? *installedConsole : systemConsole(); }

Console* installConsole(Console* console) {
    Console* previous = installedConsole;
    installedConsole = console;
    return previous;
}

}  // namespace platform
