// The device's side of the jig's memory: the exchange (one write to
// register 5100 sets it up and runs it, register 5160 holds the bytes
// received). The code the jig wires onto lines 0 to 4 is read through the
// digital lines (digital_lines.h). Attaches itself to the register map.
//
// Exchange set-up, as 16-bit registers from 5100: data line, clock line,
// speed, options, bus address, three reserved, number of bytes to send,
// number to receive (at most 32); the bytes to send follow from 5110.
#pragma once

#include "z6/device_errors.h"
#include "z6/jig.h"
#include "z6/register_map.h"

#include <cstdint>
#include <span>

namespace z6 {

class JigConnector {
public:
    JigConnector(Jig& jig, RegisterMap& registers);
    JigConnector(const JigConnector&) = delete;
    JigConnector& operator=(const JigConnector&) = delete;

    // At boot nothing has been received yet.
    void boot();

    DeviceError exchange(std::span<const std::uint8_t> setUp);

private:
    Jig& jig_;
    RegisterMap& registers_;
};

}  // namespace z6
