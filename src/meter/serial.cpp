#include "meter/serial.h"

#include "meter/com_port_names.h"
#include "sequencer/console_io.h"

#include <cstddef>

namespace {

// The port name as console text: 8-bit characters copied, others shown as
// '?', cut to what the buffer holds.
void narrowName(const std::wstring& name, char* buffer, std::size_t size) {
    std::size_t length = 0;
    for (const wchar_t c : name) {
        if (length + 1 >= size) break;
        buffer[length++] = (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    }
    buffer[length] = '\0';
}

}  // namespace

Serial::Serial(platform::SerialSettings settings) {
    platform::SerialPorts& ports = platform::serialPorts();
    comHandle = ports.open(comPortNames[0].c_str());
    if (comHandle == platform::kInvalidSerialHandle) {
        const int error = ports.lastError();
        char name[100];
        narrowName(comPortNames[0], name, sizeof name);
        text::append(name, " (char *)");
        print("ERROR: Could not open ");
        print("%s", name);
        print(", %i\r\n", error);
        return;
    }
    if (!ports.setTimeouts(comHandle, kSerialTimeouts)) {
        ports.close(comHandle);
        comHandle = platform::kNullSerialHandle;
        print("ERROR: Could not set com port time-outs");
    }
    // With the time-outs refused the handle is null, and this fails too.
    if (!ports.setSettings(comHandle, settings)) {
        if (comHandle != platform::kNullSerialHandle) ports.close(comHandle);
        comHandle = platform::kNullSerialHandle;
        print("ERROR: Could not set com port parameters");
    }
}

Serial::~Serial() {
    if (comHandle != platform::kNullSerialHandle) {
        platform::serialPorts().close(comHandle);
        comHandle = platform::kNullSerialHandle;
    }
}
