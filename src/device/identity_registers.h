// Registers that tell what the device is and what it runs. All are read as
// two registers; the station writes none of them.
#pragma once

#include <cstdint>

namespace identity_reg {

constexpr std::int32_t kProductId = 60000;         // uint32 whose bits are a float: 7 on a Z6
constexpr std::int32_t kHardwareVersion = 60002;   // float
constexpr std::int32_t kFirmwareVersion = 60004;   // float, main firmware
constexpr std::int32_t kBootstrapVersion = 60006;  // float, boot loader
constexpr std::int32_t kOptions = 60010;           // uint32, bit 0: Pro variant, bit 3: SD card mounted
constexpr std::int32_t kFlashChipId = 60040;       // uint32
constexpr std::int32_t kFlashFlags = 60100;        // uint32, see kFlashChipUnknown

constexpr std::uint32_t kProOption = 0x1;
// The firmware does not know the flash chip fitted.
constexpr std::uint32_t kFlashChipUnknown = 0x40;

}  // namespace identity_reg
