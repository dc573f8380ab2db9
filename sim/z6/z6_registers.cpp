#include "z6/z6_registers.h"

#include "z6/electrical.h"

#include <iterator>
#include <vector>

namespace z6 {

namespace {

using enum Access;
using enum Persistence;

constexpr RegisterDefinition kTable[] = {
    // Settings the station writes after opening the device.
    u32Register(4990, ReadWrite, Persistent, "setting 4990"),
    f32Register(30014, ReadWrite, Persistent, "setting 30014"),
    u16Register(43990, ReadWrite, Persistent, "setting 43990"),
    u16Register(48003, ReadWrite, Persistent, "setting 48003"),
    u16Register(48004, ReadWrite, Persistent, "setting 48004"),
    u16Register(48005, ReadWrite, Persistent, "setting 48005"),

    f32Register(reg::kProductId, Read, Volatile, "product identifier"),
    f32Register(reg::kHardwareVersion, Read, Volatile, "hardware version"),
    f32Register(reg::kFirmwareVersion, Read, Volatile, "main firmware version"),
    f32Register(reg::kBootstrapVersion, Read, Volatile, "bootstrap version"),
    u32Register(reg::kOptions, Read, Volatile, "option bits"),
    u32Register(reg::kFlashChipId, Read, Volatile, "flash chip identifier"),
    u32Register(reg::kFlashFlags, Read, Volatile, "flash flags"),
    u16Register(reg::kDiagnosticCode, Read, Volatile, "diagnostic code"),

    // Identity of the firmware parts besides main and bootstrap.
    f32Register(reg::kWifiVersion, Read, Volatile, "WiFi module version"),

    byteRegisters(reg::kMacAddress, reg::kMacAddressWords, reg::kMacAddressWords, Read, Volatile, "MAC address"),
    u32Register(reg::kSerialNumber, Read, Volatile, "serial number"),
    u32Register(reg::kRestart, Write, Volatile, "restart request"),
    u32Register(reg::kSoftReset, Write, Volatile, "soft reset request"),

    u32Register(reg::kFlashKey, ReadWrite, Volatile, "flash key"),
    u32Register(reg::kFlashReadPointer, ReadWrite, Volatile, "flash read pointer"),
    byteRegisters(reg::kFlashReadData, reg::kFlashReadDataWords, reg::kFlashReadDataWords, Read, Volatile,
                  "flash read data"),
    u32Register(reg::kFlashErase, Write, Volatile, "flash page erase"),
    byteRegisters(reg::kFlashProgram, reg::kFlashProgramMinWords, reg::kFlashProgramMaxWords, Write, Volatile,
                  "flash program"),

    // DAC outputs. A volts write sets the code through the calibration.
    f32Register(reg::kDac0Volts, Write, Volatile, "DAC0 volts"),
    f32Register(reg::kDac1Volts, Write, Volatile, "DAC1 volts"),
    u32Register(reg::kDac0Code, ReadWrite, Volatile, "DAC0 code"),
    u32Register(reg::kDac1Code, ReadWrite, Volatile, "DAC1 code"),
    f32Register(reg::kTemperature, Read, Volatile, "internal temperature"),

    // The jig connection.
    byteRegisters(reg::kJigExchange, reg::kJigExchangeHeaderWords, reg::kJigExchangeMaxWords, Write, Volatile,
                  "jig memory exchange"),
    byteRegisters(reg::kJigExchangeIn, reg::kJigExchangeInWords, reg::kJigExchangeInWords, Read, Volatile,
                  "jig memory bytes received"),

    // Stored settings and the clock.
    u32Register(reg::kStartupSettings, Read, Persistent, "start-up settings are factory"),
    u32Register(reg::kRestoreFactory, Write, Volatile, "restore factory start-up settings"),
    byteRegisters(reg::kDeviceName, reg::kDeviceNameWords, reg::kDeviceNameWords, ReadWrite, Persistent,
                  "device name"),
    u32Register(reg::kClock, Read, Volatile, "real-time clock"),
    u32Register(reg::kSetClock, Write, Volatile, "set real-time clock"),
};

// Blocks repeated for every analog channel, digital port or digital line.
struct RepeatedBlocks {
    std::uint16_t base;
    std::uint16_t stride;  // registers from one block to the next
    int count;
    RegisterDefinition (*define)(std::uint16_t address, Access, Persistence, std::string_view name);
    Access access;
    std::string_view name;
};

constexpr int kChannels = electrical::kAnalogChannels;
constexpr int kPorts = electrical::kDigitalPortCount;
constexpr int kLines = electrical::kDigitalLines;

constexpr RepeatedBlocks kRepeatedBlocks[] = {
    {reg::kAinVolts, 2, kChannels, f32Register, Read, "analog input volts"},
    {reg::kAinRaw, 2, kChannels, u32Register, Read, "analog input raw reading"},
    {reg::kAinRange, 2, kChannels, f32Register, ReadWrite, "analog input range"},
    {reg::kAinNegative, 1, kChannels, u16Register, ReadWrite, "analog input negative channel"},
    {reg::kAinResolution, 1, kChannels, u16Register, ReadWrite, "analog input resolution index"},
    {reg::kAinSettling, 2, kChannels, f32Register, ReadWrite, "analog input settling"},
    {reg::kDigitalLine, 1, kLines, u16Register, ReadWrite, "digital line"},
    {reg::kDigitalState, 1, kPorts, u16Register, ReadWrite, "digital port state"},
    {reg::kDigitalDirection, 1, kPorts, u16Register, ReadWrite, "digital port direction"},
    {reg::kDigitalInhibit, 1, kPorts, u16Register, ReadWrite, "digital port write-inhibit mask"},
};

}  // namespace

std::span<const RegisterDefinition> z6RegisterTable() {
    static const std::vector<RegisterDefinition> table = [] {
        std::vector<RegisterDefinition> all(std::begin(kTable), std::end(kTable));
        for (const RepeatedBlocks& blocks : kRepeatedBlocks) {
            for (int i = 0; i < blocks.count; ++i) {
                const auto address = static_cast<std::uint16_t>(blocks.base + blocks.stride * i);
                all.push_back(blocks.define(address, blocks.access, Volatile, blocks.name));
            }
        }
        return all;
    }();
    return table;
}

}  // namespace z6
