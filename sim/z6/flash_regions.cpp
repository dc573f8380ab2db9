#include "z6/flash_regions.h"

#include <algorithm>
#include <iterator>

namespace z6 {

namespace {

constexpr FlashRegion kRegions[] = {
    {0x000000, 0x200000, 0xB2A9047F, "web pages"},
    {0x200000, 0x380000, 0xE3C7F148, "main firmware image"},
    {0x380000, 0x382000, 0x17F4E2B9, "main firmware header"},
    {0x382000, 0x384000, 0x4F8D2C60, "recovery image header"},
    {0x384000, 0x385000, 0x6D1E8BA5, "loader header"},
    {0x385000, 0x3C3000, 0x3B69D0E7, "loader image"},
    {0x3C3000, 0x3C4000, 0x91E0C7D3, "provisioning record"},
    {0x3C4000, 0x3C6000, 0x5E19B0C4, "calibration constants"},
    {0x3C6000, 0x3C7000, 0xC4F0A96B, "manufacturing info"},
    {0x3C7000, 0x3C8000, 0x9D07E1B5, "calibration log"},
    // 0x3C8000 to 0x3DFFFF is unassigned.
    {0x3E0000, 0x400000, 0x8A52B06E, "recovery firmware image"},
};

}  // namespace

std::span<const FlashRegion> flashRegions() { return kRegions; }

const FlashRegion* findFlashRegion(std::uint32_t address) {
    const auto after = std::upper_bound(std::begin(kRegions), std::end(kRegions), address,
                                        [](std::uint32_t a, const FlashRegion& r) { return a < r.start; });
    if (after == std::begin(kRegions)) return nullptr;
    const FlashRegion& region = *std::prev(after);
    return address < region.end ? &region : nullptr;
}

DeviceError checkFlashAccess(std::uint32_t key, std::uint32_t address, std::uint32_t length) {
    const FlashRegion* region = findFlashRegion(address);
    if (region == nullptr) return DeviceError::FlashAddressInNoRegion;
    if (key != region->key) return DeviceError::FlashWrongKey;
    if (std::uint64_t{address} + length > region->end) return DeviceError::FlashRangeLeavesRegion;
    return DeviceError::None;
}

}  // namespace z6
