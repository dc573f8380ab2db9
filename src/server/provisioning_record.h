// The provisioning record: 32 bytes of device flash that give a device its
// serial number and MAC address from its next boot on. Multi-byte fields
// are least significant byte first, except the MAC.
#pragma once

#include <cstdint>

namespace provisioning {

constexpr std::uint32_t kRecordAddress = 0x3C3000;
constexpr std::uint32_t kRecordSize = 32;
constexpr std::uint32_t kMarker = 0x7DE1BE08;  // offset 0, written with the serial
constexpr std::uint32_t kSerialOffset = 8;
constexpr std::uint32_t kMacFieldOffset = 20;  // two zero bytes, then the MAC

constexpr std::uint32_t kDefaultSerial = 470010000;
constexpr std::uint32_t kBlankSerial = 0xFFFFFFFF;
constexpr std::uint32_t kFirstOwnSerial = 470010001;
// A new number from the server must lie here.
constexpr std::uint32_t kFirstNewSerial = 470010002;
constexpr std::uint32_t kLastNewSerial = 480010000;

constexpr std::uint64_t kDefaultMac = 0x0E5D71002000;
constexpr std::uint64_t kBlankMac = 0xFFFFFFFFFFFF;

// The registers the device runs with.
constexpr std::int32_t kSerialRegister = 60028;  // U32
constexpr std::int32_t kMacRegister = 60020;     // 4 registers: two zero bytes, then the MAC

}  // namespace provisioning
