// Modbus TCP as the Z6 speaks it: decoding a request ADU into register
// accesses, and building reply and exception ADUs. Knows nothing of the
// register map; the server checks the accesses against it.
//
// ADU: transaction id (2), protocol id (2, always 0), length of what follows
// (2), unit id (1), function code (1), then the function's data.
#pragma once

#include "z6/device_errors.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace z6::modbus {

inline constexpr std::uint8_t kReadHoldingRegisters = 3;
inline constexpr std::uint8_t kWriteMultipleRegisters = 16;
// A sequence of read and write frames run in order with one reply.
inline constexpr std::uint8_t kFeedback = 76;

inline constexpr std::size_t kHeaderSize = 8;  // MBAP + unit id + function code

enum class Exception : std::uint8_t {
    IllegalFunction = 1,
    IllegalDataAddress = 2,
    IllegalDataValue = 3,
    ServerDeviceFailure = 4,
};

struct Header {
    std::uint16_t transactionId = 0;
    std::uint8_t unitId = 0;
    std::uint8_t function = 0;
};

struct RegisterAccess {
    bool write = false;
    std::uint16_t address = 0;
    std::uint16_t count = 0;               // registers
    std::span<const std::uint8_t> data;  // count * 2 bytes for a write; points into the request
};

struct Request {
    Header header;  // as much as the request carried
    std::vector<RegisterAccess> accesses;
    std::optional<Exception> rejected;  // set when the request is malformed
};

// Never throws on malformed input: it is reported in Request::rejected.
Request decodeRequest(const std::uint8_t* bytes, std::size_t length);

// The reply to an executed request; readData holds every read's registers
// in order.
std::vector<std::uint8_t> encodeReply(const Request& request, std::span<const std::uint8_t> readData);

// Function code | 0x80 and the exception code; for function 76 and stream
// control followed by the 16-bit device error.
std::vector<std::uint8_t> encodeException(const Header& header, Exception exception,
                                          DeviceError deviceError = DeviceError::None);

}  // namespace z6::modbus
