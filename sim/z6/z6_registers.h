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
inline constexpr std::uint16_t kOptions = 60010;  // bit 0: Pro variant; bit 3: SD card mounted
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

// Analog inputs, one block of each kind per channel: channel c's volts at
// kAinVolts + 2c, its raw reading at kAinRaw + 2c, and its settings.
inline constexpr std::uint16_t kAinVolts = 0;            // F32, calibrated reading
inline constexpr std::uint16_t kAinRaw = 50000;          // U32, counts x 256
inline constexpr std::uint16_t kAinRange = 40000;        // F32, largest reading to hold; 0: +-10 V
inline constexpr std::uint16_t kAinNegative = 41000;     // U16, negative channel; 199: ground
inline constexpr std::uint16_t kAinResolution = 41500;   // U16, resolution index 0 to 12
inline constexpr std::uint16_t kAinSettling = 42000;     // F32, settling time

// DAC outputs, set in volts (through the calibration) or as codes.
inline constexpr std::uint16_t kDac0Volts = 1000;
inline constexpr std::uint16_t kDac1Volts = 1002;
inline constexpr std::uint16_t kDac0Code = 51000;
inline constexpr std::uint16_t kDac1Code = 51002;

// The internal temperature, kelvin, converted from its sensor's channel.
inline constexpr std::uint16_t kTemperature = 60052;
// The set point of the jig's reference source.
inline constexpr std::uint16_t kReferenceSetPoint = 30014;

// The jig connection: a memory exchange set up and run by one write, and
// its bytes read back.
inline constexpr std::uint16_t kJigExchange = 5100;
inline constexpr std::uint16_t kJigExchangeHeaderWords = 10;  // set-up before the bytes to send
inline constexpr std::uint16_t kJigExchangeMaxWords = 26;     // with up to 32 bytes to send
inline constexpr std::uint16_t kJigExchangeIn = 5160;
inline constexpr std::uint16_t kJigExchangeInWords = 16;      // up to 32 bytes received

// Digital lines, U16 each: line i alone at kDigitalLine + i; port p's state,
// direction and write-inhibit mask at kDigitalState + p and so on.
inline constexpr std::uint16_t kDigitalLine = 2000;
inline constexpr std::uint16_t kDigitalState = 2500;
inline constexpr std::uint16_t kDigitalDirection = 2600;
inline constexpr std::uint16_t kDigitalInhibit = 2700;

// The firmware's self-diagnostic result; 0: all is well.
inline constexpr std::uint16_t kDiagnosticCode = 60090;

// Stored settings.
inline constexpr std::uint16_t kStartupSettings = 49000;      // U32, 1: factory start-up settings
inline constexpr std::uint16_t kRestoreFactory = 49004;       // U32, takes kRestoreFactoryKey
inline constexpr std::uint32_t kRestoreFactoryKey = 0x5A3B81F2;
inline constexpr std::uint16_t kDeviceName = 60500;           // 40 bytes, zero padded
inline constexpr std::uint16_t kDeviceNameWords = 20;

// Real-time clock, seconds.
inline constexpr std::uint16_t kClock = 61500;
inline constexpr std::uint16_t kSetClock = 61504;

}  // namespace z6::reg

namespace z6 {

std::span<const RegisterDefinition> z6RegisterTable();

}  // namespace z6
