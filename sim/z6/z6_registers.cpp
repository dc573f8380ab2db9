#include "z6/z6_registers.h"

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
};

}  // namespace

std::span<const RegisterDefinition> z6RegisterTable() { return kTable; }

}  // namespace z6
