// The registers through which the station reaches the flash: a key that
// unlocks one region, a read pointer with a 32-byte data block behind it, a
// page erase and a program command. Attaches itself to the register map.
//
// The read pointer does not move on a read: the station sets it before
// every chunk, and a chunk refused as busy is read again at the same place.
#pragma once

#include "z6/device_errors.h"
#include "z6/flash.h"
#include "z6/register_map.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace z6 {

class FlashWindow {
public:
    // busyReads: how many reads of the data block are refused as busy
    // before reads work (the scenario's flashReadBusy fault).
    FlashWindow(Flash& flash, RegisterMap& registers, std::uint32_t busyReads);
    FlashWindow(const FlashWindow&) = delete;
    FlashWindow& operator=(const FlashWindow&) = delete;

    // The operations behind the registers. On an error the flash is untouched.
    DeviceError readChunk(std::span<std::uint8_t> chunk);  // at the read pointer
    DeviceError erasePage(std::uint32_t pageAddress);
    DeviceError program(std::uint32_t address, std::span<const std::uint8_t> data);

    std::uint32_t busyReadsLeft() const { return busyReadsLeft_; }

    // Told each time the window injects a scenario fault, so that a
    // simulator can show it.
    using FaultHook = std::function<void(std::string_view fault)>;
    void onFault(FaultHook hook) { faultHook_ = std::move(hook); }

private:
    std::uint32_t key() const;

    Flash& flash_;
    RegisterMap& registers_;
    std::uint32_t busyReadsLeft_;
    FaultHook faultHook_;
};

}  // namespace z6
