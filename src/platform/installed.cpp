// Selection of the clock, console, sockets and serial ports in use; shared by
// every platform.
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/serial_port.h"
#include "platform/sockets.h"

namespace platform {
namespace {
Clock* installedClock = nullptr;
Console* installedConsole = nullptr;
Sockets* installedSockets = nullptr;
SerialPorts* installedSerialPorts = nullptr;
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

Sockets& sockets() { return installedSockets ? *installedSockets : systemSockets(); }

Sockets* installSockets(Sockets* sockets) {
    Sockets* previous = installedSockets;
    installedSockets = sockets;
    return previous;
}

SerialPorts& serialPorts() { return installedSerialPorts ? *installedSerialPorts : systemSerialPorts(); }

SerialPorts* installSerialPorts(SerialPorts* ports) {
    SerialPorts* previous = installedSerialPorts;
    installedSerialPorts = ports;
    return previous;
}

}  // namespace platform
