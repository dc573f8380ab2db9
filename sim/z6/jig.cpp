#include "z6/jig.h"

#include "z6/byte_order.h"
#include "z6/electrical.h"

#include <algorithm>

namespace z6 {

namespace {

constexpr std::uint8_t kErased = 0xFF;
// The read address is one byte and wraps around the memory.
static_assert(Jig::kMemorySize == 256);
constexpr double kKelvinAtZeroCelsius = 273.15;

double fahrenheit(double kelvin) { return (kelvin - kKelvinAtZeroCelsius) * 9.0 / 5.0 + 32.0; }

}  // namespace

Jig::Jig(const JigSettings& settings) : settings_(settings) {
    memory_.fill(kErased);
    if (!settings_.memoryBlank) {
        const auto bytes = record(settings_);
        std::copy(bytes.begin(), bytes.end(), memory_.begin());
    }
}

std::array<std::uint8_t, Jig::kRecordSize> Jig::record(const JigSettings& settings) {
    std::array<std::uint8_t, kRecordSize> bytes{};
    bytes[0] = kRecordFormat;
    bytes[1] = static_cast<std::uint8_t>(settings.code);
    storeU16(&bytes[2], static_cast<std::uint16_t>(settings.type));
    const float constants[] = {settings.vmPlusRatio,  settings.vmMinusRatio, settings.load200uAOhms,
                               settings.constant4,    settings.load10uAOhms, settings.senseOhms,
                               settings.biasShuntOhms};
    for (std::size_t i = 0; i < std::size(constants); ++i) storeF32(&bytes[4 + 4 * i], constants[i]);
    return bytes;
}

bool Jig::memoryExchange(std::uint16_t busAddress, std::span<const std::uint8_t> out, std::span<std::uint8_t> in) {
    if (!present() || busAddress != electrical::kMemoryBusAddress) return false;
    if (!out.empty()) readAddress_ = out[0];
    for (std::uint8_t& byte : in) byte = memory_[readAddress_++];  // wraps at the end of the memory
    return true;
}

Jig::LineWiring Jig::lineWiring() const {
    // Lines 5 to 7 are left open; the memory's bus lines idle high.
    if (!present()) return {};
    return {electrical::kJigTiedLines,
            electrical::kJigGroundedLines | (electrical::kCodeLineMask & ~settings_.wiredCode)};
}

double Jig::referenceVolts(const DeviceOutputs& outputs) const {
    if (!present()) return 0.0;
    const double source = std::clamp(outputs.referenceSetPoint, -electrical::kReferenceLimitVolts,
                                     electrical::kReferenceLimitVolts);
    return outputs.line5High ? source : source * settings_.referenceDivider;
}

double Jig::inputVolts(int channel, const DeviceOutputs& outputs) const {
    namespace in = electrical::jig_input;
    if (!present()) return 0.0;
    const JigSettings& s = settings_;
    const int dac0 = s.dacLoopbacksSwapped ? 1 : 0;
    switch (channel) {
        case in::kDac0Loopback: return outputs.dacVolts[dac0];
        case in::kDac1Loopback: return outputs.dacVolts[1 - dac0];
        case in::kBiasShunt: return outputs.inputBiasAmps * s.biasShuntOhms;
        case in::kExternalSensor: return fahrenheit(s.ambientK) * electrical::kExternalSensorVoltsPerF;
        case in::kSupply: return outputs.supplyVolts;
        case in::kSupplyAfterSense: return outputs.supplyVolts - outputs.supplyAmps * s.senseOhms;
        case in::kReferencePlus: return referenceVolts(outputs);
        case in::kSource10uALoad: return outputs.source10uAAmps * s.load10uAOhms;
        case in::kSource200uALoad: return outputs.source200uAAmps * s.load200uAOhms;
        case in::kVmMinusDivider: return outputs.vmMinusVolts / s.vmMinusRatio;
        case in::kVmPlusDivider: return outputs.vmPlusVolts / s.vmPlusRatio;
        default: return 0.0;  // grounded, or not the jig's
    }
}

}  // namespace z6
