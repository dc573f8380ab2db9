// The Z6's wire, as the device and the DQM library both speak it: Modbus
// TCP messages over a stream connection (a USB-bus socket or TCP), plus a
// private stream extension. All multi-byte values are most significant byte
// first.
//
// Message: transaction (2), protocol 0 (2), length of what follows (2),
// unit (1), function (1), then the function's data.
//
// Streaming, one stream per connection:
//   host -> device, function kStreamControl:
//     start: action 1, scan rate in scans per second (float), address count
//            (u16), register addresses (u16 each) of the values to sample
//     stop:  action 0
//   reply: function kStreamControl, action, scan rate in use (float); or an
//          exception (function | 0x80, exception code, device error u16)
//   device -> host, unsolicited, function kStreamData, as the device samples:
//     first scan number (u32), scan count (u16), values per scan (u16), then
//     scan count x values per scan floats, scan by scan
//
// The simulated USB bus is a directory holding one Unix stream socket per
// plugged device, named "port-NN" by bus position (01 to 99); the first
// device on the bus is the one at the lowest position.
#pragma once

#include <cstddef>
#include <cstdint>

namespace z6wire {

constexpr std::size_t kPrefixSize = 6;  // transaction, protocol, length
constexpr std::size_t kHeaderSize = 8;  // prefix, unit, function
constexpr std::size_t kMaxMessageSize = kPrefixSize + 0xFFFF;

constexpr std::uint8_t kReadHoldingRegisters = 3;
constexpr std::uint8_t kWriteMultipleRegisters = 16;
constexpr std::uint8_t kFeedback = 76;
constexpr std::uint8_t kStreamControl = 100;
constexpr std::uint8_t kStreamData = 101;
constexpr std::uint8_t kExceptionFlag = 0x80;

constexpr std::uint8_t kStreamStop = 0;
constexpr std::uint8_t kStreamStart = 1;
constexpr std::size_t kStreamDataHeader = 8;  // first scan, scan count, values per scan

// USB bus sockets: "port-01" ... "port-99".
constexpr const char* kUsbPortPrefix = "port-";
constexpr int kUsbPorts = 99;

// Where the library looks for things unless its environment says otherwise.
constexpr const char* kUsbBusDirVariable = "DQM_USB_BUS_DIR";  // default /tmp/dqm-usb-bus-<uid>
constexpr const char* kTcpPortVariable = "DQM_TCP_PORT";
constexpr std::uint16_t kDefaultTcpPort = 5502;

inline std::uint16_t loadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }
inline std::uint32_t loadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
inline void storeU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void storeU32(std::uint8_t* p, std::uint32_t v) {
    storeU16(p, static_cast<std::uint16_t>(v >> 16));
    storeU16(p + 2, static_cast<std::uint16_t>(v));
}

// The whole length of a message whose first kPrefixSize bytes are given.
inline std::size_t messageLength(const std::uint8_t* prefix) { return kPrefixSize + loadU16(prefix + 4); }

}  // namespace z6wire
