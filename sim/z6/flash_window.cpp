#include "z6/flash_window.h"

#include "z6/byte_order.h"
#include "z6/flash_regions.h"
#include "z6/z6_registers.h"

#include <algorithm>

namespace z6 {

namespace {

constexpr std::size_t kProgramAddressBytes = 4;
constexpr std::size_t kProgramMinData = 2;
constexpr std::size_t kProgramMaxData = 32;

}  // namespace

FlashWindow::FlashWindow(Flash& flash, RegisterMap& registers, std::uint32_t busyReads)
    : flash_(flash), registers_(registers), busyReadsLeft_(busyReads) {
    registers_.onRead(reg::kFlashReadData, [this](std::span<std::uint8_t> block) { return readChunk(block); });
    registers_.onWrite(reg::kFlashErase,
                       [this](std::span<const std::uint8_t> data) { return erasePage(loadU32(data.data())); });
    registers_.onWrite(reg::kFlashProgram, [this](std::span<const std::uint8_t> data) {
        if (data.size() < kProgramAddressBytes) return DeviceError::FlashProgramLengthInvalid;
        return program(loadU32(data.data()), data.subspan(kProgramAddressBytes));
    });
}

std::uint32_t FlashWindow::key() const { return registers_.getU32(reg::kFlashKey); }

DeviceError FlashWindow::readChunk(std::span<std::uint8_t> chunk) {
    if (busyReadsLeft_ > 0) {
        --busyReadsLeft_;
        if (faultHook_) faultHook_("flash read busy");
        return DeviceError::FlashReadBusy;
    }
    const std::uint32_t pointer = registers_.getU32(reg::kFlashReadPointer);
    const auto length = static_cast<std::uint32_t>(chunk.size());
    if (const DeviceError error = checkFlashAccess(key(), pointer, length); error != DeviceError::None) return error;
    const std::span<const std::uint8_t> source = flash_.bytes().subspan(pointer, length);
    std::copy(source.begin(), source.end(), chunk.begin());
    return DeviceError::None;
}

DeviceError FlashWindow::erasePage(std::uint32_t pageAddress) {
    if (pageAddress % Flash::kPageSize != 0) return DeviceError::FlashEraseNotPageAligned;
    if (const DeviceError error = checkFlashAccess(key(), pageAddress, Flash::kPageSize); error != DeviceError::None) {
        return error;
    }
    flash_.erasePage(pageAddress);
    return DeviceError::None;
}

DeviceError FlashWindow::program(std::uint32_t address, std::span<const std::uint8_t> data) {
    if (data.size() < kProgramMinData || data.size() > kProgramMaxData || data.size() % 2 != 0) {
        return DeviceError::FlashProgramLengthInvalid;
    }
    const auto length = static_cast<std::uint32_t>(data.size());
    if (const DeviceError error = checkFlashAccess(key(), address, length); error != DeviceError::None) return error;
    flash_.program(address, data);
    return DeviceError::None;
}

}  // namespace z6
