// Answers Modbus requests from a register map: functions 3, 16 and 76. A
// request is checked whole before anything runs, so a rejected request
// changes nothing; a device error while running stops it at that access
// (earlier ones stay done) and is answered with exception 4.
#pragma once

#include "z6/register_map.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace z6 {

class ModbusServer {
public:
    explicit ModbusServer(RegisterMap& registers) : registers_(registers) {}

    // The reply ADU to the request ADU; always a reply, never a throw for
    // malformed input.
    std::vector<std::uint8_t> handleRequest(const std::uint8_t* request, std::size_t length);

private:
    RegisterMap& registers_;
};

}  // namespace z6
