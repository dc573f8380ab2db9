#include "z6/device_settings.h"

#include "z6/byte_order.h"
#include "z6/z6_registers.h"

#include <algorithm>
#include <vector>

namespace z6 {

namespace {

constexpr std::uint32_t kFactory = 1;
constexpr std::uint32_t kUserSettings = 0;

}  // namespace

DeviceSettings::DeviceSettings(const StoredSettings& settings, RegisterMap& registers) : registers_(registers) {
    registers_.setU32(reg::kStartupSettings, settings.factoryStartup ? kFactory : kUserSettings);
    // The name is text padded with zero bytes; the scenario keeps it short enough.
    std::vector<std::uint8_t> name(2 * reg::kDeviceNameWords, 0);
    std::copy_n(settings.name.begin(), std::min(settings.name.size(), name.size()), name.begin());
    registers_.setRaw(reg::kDeviceName, name);

    registers_.onWrite(reg::kRestoreFactory, [this](std::span<const std::uint8_t> data) {
        if (loadU32(data.data()) != reg::kRestoreFactoryKey) return DeviceError::FactoryKeyInvalid;
        registers_.setU32(reg::kStartupSettings, kFactory);
        return DeviceError::None;
    });
}

}  // namespace z6
