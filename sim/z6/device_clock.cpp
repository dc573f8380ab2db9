#include "z6/device_clock.h"

#include "z6/byte_order.h"
#include "z6/z6_registers.h"

namespace z6 {

DeviceClock::DeviceClock(const Scenario& scenario, platform::Clock& clock, RegisterMap& registers)
    : clock_(clock),
      batteryBacked_((scenario.identity.options & 1u) != 0),
      offsetSeconds_(scenario.clock.offsetSeconds) {
    registers.onRead(reg::kClock, [this](std::span<std::uint8_t> block) {
        storeU32(block.data(), seconds());
        return DeviceError::None;
    });
    registers.onWrite(reg::kSetClock, [this](std::span<const std::uint8_t> data) {
        offsetSeconds_ = std::int64_t{loadU32(data.data())} - clock_.calendarSeconds();
        return DeviceError::None;
    });
}

void DeviceClock::boot() {
    if (!batteryBacked_) offsetSeconds_ = -clock_.calendarSeconds();
}

std::uint32_t DeviceClock::seconds() const {
    // The register holds the low 32 bits, as the device's counter does.
    return static_cast<std::uint32_t>(clock_.calendarSeconds() + offsetSeconds_);
}

}  // namespace z6
