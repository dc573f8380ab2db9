// How the Z6 divides its flash: each region has its own key, and an
// operation runs only when the key written to the flash window unlocks the
// region holding every byte it touches.
#pragma once

#include "z6/device_errors.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace z6 {

struct FlashRegion {
    std::uint32_t start;
    std::uint32_t end;  // one past the last byte
    std::uint32_t key;
    std::string_view name;
};

// Sorted by address. Addresses between regions belong to none.
std::span<const FlashRegion> flashRegions();

// The region holding address, or nullptr.
const FlashRegion* findFlashRegion(std::uint32_t address);

// Whether key may touch [address, address + length): None, or the reason not.
DeviceError checkFlashAccess(std::uint32_t key, std::uint32_t address, std::uint32_t length);

}  // namespace z6
