// The bench meter's serial port: opened exclusively on COM1 with reads that
// never wait and the given line settings, closed when destroyed. Reads and
// writes go straight to comHandle through the platform's serial ports.
#pragma once

#include "platform/serial_port.h"

class Serial {
public:
    // Opens and sets up the port, printing what failed. Afterwards
    // comHandle is platform::kInvalidSerialHandle when the port could not
    // be opened, platform::kNullSerialHandle when it opened but could not be
    // set up (it is closed again), otherwise the open port.
    explicit Serial(platform::SerialSettings settings);
    virtual ~Serial();
    Serial(const Serial&) = delete;
    Serial& operator=(const Serial&) = delete;

    platform::SerialHandle comHandle = platform::kInvalidSerialHandle;
};

// A read returns at once with what has arrived, and writes have no time-out.
inline constexpr platform::SerialTimeouts kSerialTimeouts = {platform::kNoWait, 0, 0, 0, 0};
