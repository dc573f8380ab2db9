// The Z6's register table and the addresses the model itself works with.
// Adding a register is one line in the table (z6_registers.cpp).
#pragma once

#include "z6/register_map.h"

#include <cstdint>
#include <span>

namespace z6::reg {

// Identity, read-only, filled from the scenario.
inline constexpr std::uint16_t kProductId = 60000;  // F32, 7.0 on a Z6
inline constexpr std::uint16_t kHardwareVersion = 60002;
inline constexpr std::uint16_t kFirmwareVersion = 60004;
inline constexpr std::uint16_t kBootstrapVersion = 60006;
inline constexpr std::uint16_t kOptions = 60010;  // bit 0: Pro variant
inline constexpr std::uint16_t kFlashChipId = 60040;
inline constexpr std::uint16_t kFlashFlags = 60100;  // 0x40: chip unknown to the firmware
inline constexpr std::uint16_t kWifiVersion = 60008;  // F32, WiFi module firmware

// Identity the device takes from its provisioning record at boot.
inline constexpr std::uint16_t kMacAddress = 60020;   // 4 registers: two zero bytes, then the MAC
inline constexpr std::uint16_t kMacAddressWords = 4;
inline constexpr std::uint16_t kSerialNumber = 60028;  // U32

// Power: a restart needs its key; a soft reset takes any value.
inline constexpr std::uint16_t kRestart = 61996;
inline constexpr std::uint32_t kRestartKey = 0x44510020;
inline constexpr std::uint16_t kSoftReset = 61994;

// Flash window.
inline constexpr std::uint16_t kFlashKey = 61800;
inline constexpr std::uint16_t kFlashReadPointer = 61810;
inline constexpr std::uint16_t kFlashReadData = 61812;
inline constexpr std::uint16_t kFlashReadDataWords = 16;  // 32 bytes per read
inline constexpr std::uint16_t kFlashErase = 61820;
inline constexpr std::uint16_t kFlashProgram = 61830;  // 4-byte address, then 2 to 32 data bytes
inline constexpr std::uint16_t kFlashProgramMinWords = 3;
inline constexpr std::uint16_t kFlashProgramMaxWords = 18;

}  // namespace z6::reg

namespace z6 {

std::span<const RegisterDefinition> z6RegisterTable();

}  // namespace z6
