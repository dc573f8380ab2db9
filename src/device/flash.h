// The device flash, reached through its key, pointer and data register
// window. Flash pages are 4 KB; the window moves 32 bytes per transaction.
// Programming only turns 1 bits into 0 bits; erasing turns a page back to 1s.
#pragma once

#include <cstdint>

constexpr std::uint32_t kFlashPageSize = 4096;
constexpr std::uint32_t kFlashChunkSize = 32;

// A restart of flashRead on a busy chunk begins again with the key; after
// this many restarts the read gives up with the library's busy code.
constexpr int kFlashReadMaxRestarts = 16;

// Regions and the keys that unlock them.
struct FlashRegion {
    const char* name;
    std::uint32_t start;
    std::uint32_t key;
};

namespace flash {
constexpr FlashRegion kWebPages{"web pages", 0x000000, 0xB2A9047F};
constexpr FlashRegion kMainImage{"main firmware image", 0x200000, 0xE3C7F148};
constexpr FlashRegion kMainHeader{"main firmware header", 0x380000, 0x17F4E2B9};
constexpr FlashRegion kRecoveryHeader{"recovery image header", 0x382000, 0x4F8D2C60};
constexpr FlashRegion kLoaderHeader{"loader image header", 0x384000, 0x6D1E8BA5};
constexpr FlashRegion kLoaderImage{"loader image", 0x385000, 0x3B69D0E7};
constexpr FlashRegion kProvisioning{"provisioning record", 0x3C3000, 0x91E0C7D3};
constexpr FlashRegion kCalibration{"calibration constants", 0x3C4000, 0x5E19B0C4};
constexpr FlashRegion kManufacturing{"manufacturing information", 0x3C6000, 0xC4F0A96B};
constexpr FlashRegion kCalibrationLog{"calibration log", 0x3C7000, 0x9D07E1B5};
constexpr FlashRegion kRecoveryImage{"recovery firmware image", 0x3E0000, 0x8A52B06E};
}  // namespace flash

// Each returns 0, the library's code of a failed transaction, or
// device::kFlashRefused for a request it refuses without sending anything.

// Reads length bytes (whole 32-byte chunks only; a remainder is not read).
std::int32_t flashRead(std::int32_t handle, std::uint32_t key, std::uint32_t address, std::uint32_t length,
                       std::uint8_t* buffer);
// Erases the 4 KB page at pageAddress.
std::int32_t flashErase(std::int32_t handle, std::uint32_t key, std::uint32_t pageAddress);
// Programs length bytes (even) into flash erased before.
std::int32_t flashWrite(std::int32_t handle, std::uint32_t key, std::uint32_t address, std::uint32_t length,
                        const std::uint8_t* data);
// Makes length bytes at address equal to data, within one page, erasing and
// rewriting the page only when a bit must go from 0 to 1.
std::int32_t flashUpdate(std::int32_t handle, std::uint32_t key, std::uint32_t address, std::uint32_t length,
                         const std::uint8_t* data);
