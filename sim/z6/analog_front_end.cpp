#include "z6/analog_front_end.h"

#include "z6/byte_order.h"
#include "z6/electrical.h"
#include "z6/z6_registers.h"

#include <algorithm>
#include <cmath>

namespace z6 {

namespace {

namespace el = electrical;

std::uint16_t channelAddress(std::uint16_t base, int stride, int channel) {
    return static_cast<std::uint16_t>(base + stride * channel);
}

bool isSetting(float value) { return std::isfinite(value) && value >= 0.0f; }

// What each range really amplifies against its nominal gain, by gain index.
constexpr float Faults::*kRangeGainFactor[el::kGains] = {&Faults::gain10V, &Faults::gain1V, &Faults::gain100mV,
                                                          &Faults::gain10mV};

}  // namespace

AnalogFrontEnd::AnalogFrontEnd(const Scenario& scenario, const Jig& jig, const Flash& flash, RegisterMap& registers)
    : scenario_(scenario),
      jig_(jig),
      flash_(flash),
      registers_(registers),
      noise_(scenario.analog.noiseSeed),
      calibration_(nominalCalibration()) {
    attach();
}

void AnalogFrontEnd::attach() {
    for (int channel = 0; channel < el::kAnalogChannels; ++channel) {
        registers_.onRead(channelAddress(reg::kAinVolts, 2, channel), [this, channel](std::span<std::uint8_t> block) {
            storeF32(block.data(), static_cast<float>(convert(channel).volts));
            return DeviceError::None;
        });
        registers_.onRead(channelAddress(reg::kAinRaw, 2, channel), [this, channel](std::span<std::uint8_t> block) {
            storeU32(block.data(), convert(channel).raw);
            return DeviceError::None;
        });

        // Settings out of range are refused and the old value stays.
        const std::uint16_t range = channelAddress(reg::kAinRange, 2, channel);
        registers_.onWrite(range, [this, range](std::span<const std::uint8_t> data) {
            const float value = loadF32(data.data());
            if (!isSetting(value)) return DeviceError::AnalogSettingInvalid;
            registers_.setF32(range, value);
            return DeviceError::None;
        });
        const std::uint16_t settling = channelAddress(reg::kAinSettling, 2, channel);
        registers_.onWrite(settling, [this, settling](std::span<const std::uint8_t> data) {
            const float value = loadF32(data.data());
            if (!isSetting(value)) return DeviceError::AnalogSettingInvalid;
            registers_.setF32(settling, value);
            return DeviceError::None;
        });
        const std::uint16_t resolution = channelAddress(reg::kAinResolution, 1, channel);
        registers_.onWrite(resolution, [this, resolution](std::span<const std::uint8_t> data) {
            const std::uint16_t value = loadU16(data.data());
            if (value > el::kMaxResolution) return DeviceError::AnalogSettingInvalid;
            registers_.setU16(resolution, value);
            return DeviceError::None;
        });
        const std::uint16_t negative = channelAddress(reg::kAinNegative, 1, channel);
        registers_.onWrite(negative, [this, negative, channel](std::span<const std::uint8_t> data) {
            const std::uint16_t value = loadU16(data.data());
            const bool valid = value == el::kGroundNegative || (value < el::kAnalogChannels && value != channel);
            if (!valid) return DeviceError::AnalogSettingInvalid;
            registers_.setU16(negative, value);
            return DeviceError::None;
        });
    }

    const std::uint16_t dacCodes[el::kDacs] = {reg::kDac0Code, reg::kDac1Code};
    const std::uint16_t dacVolts[el::kDacs] = {reg::kDac0Volts, reg::kDac1Volts};
    for (int dac = 0; dac < el::kDacs; ++dac) {
        const std::uint16_t code = dacCodes[dac];
        registers_.onWrite(code, [this, code](std::span<const std::uint8_t> data) {
            const std::uint32_t value = loadU32(data.data());
            if (value > el::kDacMaxCode) return DeviceError::DacCodeInvalid;
            registers_.setU32(code, value);
            return DeviceError::None;
        });
        // Volts become a code through the DAC's calibration, within the DAC's codes.
        registers_.onWrite(dacVolts[dac], [this, code, dac](std::span<const std::uint8_t> data) {
            const float volts = loadF32(data.data());
            if (!std::isfinite(volts)) return DeviceError::AnalogSettingInvalid;
            const double wanted = std::round(volts * calibration_.dacSlope[dac] + calibration_.dacOffset[dac]);
            registers_.setU32(code, static_cast<std::uint32_t>(std::clamp(wanted, 0.0, double{el::kDacMaxCode})));
            return DeviceError::None;
        });
    }

    registers_.onRead(reg::kTemperature, [this](std::span<std::uint8_t> block) {
        storeF32(block.data(), static_cast<float>(temperatureK()));
        return DeviceError::None;
    });
}

void AnalogFrontEnd::boot() {
    for (int channel = 0; channel < el::kAnalogChannels; ++channel) {
        registers_.setF32(channelAddress(reg::kAinRange, 2, channel), 0.0f);
        registers_.setU16(channelAddress(reg::kAinNegative, 1, channel), el::kGroundNegative);
        registers_.setU16(channelAddress(reg::kAinResolution, 1, channel), 0);
        registers_.setF32(channelAddress(reg::kAinSettling, 2, channel), 0.0f);
    }
    registers_.setU32(reg::kDac0Code, 0);
    registers_.setU32(reg::kDac1Code, 0);
    calibration_ = calibrationFromImage(flash_.read(kCalibrationImageAddress, kCalibrationImageSize));
}

int AnalogFrontEnd::gain(int channel) const {
    const float limit = registers_.getF32(channelAddress(reg::kAinRange, 2, channel));
    int selected = 0;
    if (limit <= 0.0f) return selected;  // the start-up value: the largest range
    for (int g = 1; g < el::kGains; ++g)
        if (limit <= el::kRangeLimitVolts[g]) selected = g;
    return selected;
}

std::uint16_t AnalogFrontEnd::resolution(int channel) const {
    const std::uint16_t index = registers_.getU16(channelAddress(reg::kAinResolution, 1, channel));
    const bool pro = (scenario_.identity.options & 1u) != 0;
    if (index == 0) return el::kDefaultResolution;
    if (index > el::kBestHighSpeedResolution && !pro) return el::kBestHighSpeedResolution;
    return index;
}

double AnalogFrontEnd::dacVolts(int dac) const {
    const bool stuck = dac == 0 ? scenario_.faults.dac0Stuck : scenario_.faults.dac1Stuck;
    if (stuck) return 0.0;
    const std::uint32_t code = registers_.getU32(dac == 0 ? reg::kDac0Code : reg::kDac1Code);
    const double offset = dac == 0 ? scenario_.faults.dac0OffsetVolts : 0.0;
    return std::max(0.0, (code - el::kDac[dac].zeroCode) / el::kDac[dac].codesPerVolt + offset);
}

DeviceOutputs AnalogFrontEnd::outputs() const {
    const AnalogSettings& a = scenario_.analog;
    DeviceOutputs out;
    out.dacVolts[0] = dacVolts(0);
    out.dacVolts[1] = dacVolts(1);
    out.referenceSetPoint = registers_.getF32(reg::kReferenceSetPoint);
    out.line5High = line5High_;
    out.source10uAAmps = el::kSource10uAAmps;
    out.source200uAAmps = el::kSource200uAAmps;
    out.inputBiasAmps = el::kInputBiasAmps;
    out.supplyVolts = a.supplyVolts;
    out.supplyAmps = a.supplyAmps;
    out.vmPlusVolts = a.vmPlusVolts;
    out.vmMinusVolts = a.vmMinusVolts;
    return out;
}

double AnalogFrontEnd::inputVolts(int channel) const {
    if (channel == el::kInternalTemperatureChannel) {
        return (scenario_.analog.temperatureK - el::kTemperatureOffsetK) / el::kTemperatureKPerVolt;
    }
    return jig_.inputVolts(channel, outputs());
}

Conversion AnalogFrontEnd::convert(int channel) {
    const int g = gain(channel);
    const std::uint16_t res = resolution(channel);
    const bool highResolution = res > el::kBestHighSpeedResolution;
    const el::Transfer& real = (highResolution ? el::kHighResolution : el::kHighSpeed)[g];

    const std::uint16_t negative = registers_.getU16(channelAddress(reg::kAinNegative, 1, channel));
    double volts = inputVolts(channel);
    if (negative != el::kGroundNegative) volts -= inputVolts(negative);
    if (channel == el::jig_input::kGroundQuiet) volts += quietInputInterference();
    volts *= scenario_.faults.*kRangeGainFactor[g];

    double counts = volts >= 0.0 ? real.center + volts / real.pSlope : real.center - volts / real.nSlope;
    const el::Noise& noise = el::kNoise[res];
    counts += std::hypot(noise.counts, noise.inputVolts / real.pSlope) * noise_.next();
    counts = std::isnan(counts) ? el::kMaxCounts : std::clamp(counts, 0.0, el::kMaxCounts);

    const auto raw = static_cast<std::uint32_t>(std::lround(counts * el::kRawPerCount));
    const el::Transfer& calibrated = (highResolution ? calibration_.highResolution : calibration_.highSpeed)[g];
    return {raw, countsToVolts(calibrated, raw / el::kRawPerCount)};
}

double AnalogFrontEnd::quietInputInterference() {
    const Faults& f = scenario_.faults;
    const bool noisy = f.quietInputNoisyReads == 0 || quietInputReads_ < f.quietInputNoisyReads;
    if (quietInputReads_ < UINT64_MAX) ++quietInputReads_;
    // No draw without interference, so that a good device's noise stays as it is.
    return noisy && f.quietInputNoiseVolts > 0.0f ? f.quietInputNoiseVolts * noise_.next() : 0.0;
}

double AnalogFrontEnd::temperatureK() {
    const double volts = convert(el::kInternalTemperatureChannel).volts;
    return calibration_.temperatureSlope * volts + calibration_.temperatureOffset;
}

}  // namespace z6
