// The Z6's analog side: the inputs with their settings, converter and
// noise, the internal temperature sensor, the DACs and the current
// sources. Each read of an input's volts or raw register is one fresh
// conversion of what the jig presents there; the volts are the raw reading
// passed through the calibration the device booted with. The physics is
// in electrical.h. Attaches itself to the register map.
#pragma once

#include "z6/calibration.h"
#include "z6/device_errors.h"
#include "z6/flash.h"
#include "z6/gaussian_noise.h"
#include "z6/jig.h"
#include "z6/register_map.h"
#include "z6/scenario.h"

#include <cstdint>

namespace z6 {

struct Conversion {
    std::uint32_t raw;  // counts x 256
    double volts;       // through the calibration in force
};

class AnalogFrontEnd {
public:
    AnalogFrontEnd(const Scenario& scenario, const Jig& jig, const Flash& flash, RegisterMap& registers);
    AnalogFrontEnd(const AnalogFrontEnd&) = delete;
    AnalogFrontEnd& operator=(const AnalogFrontEnd&) = delete;

    // Start-up: every input +-10 V, default resolution, single-ended; both
    // DACs at code 0; the calibration taken from flash.
    void boot();

    // One conversion of channel with its present settings.
    Conversion convert(int channel);
    // The internal temperature as the device reports it, kelvin.
    double temperatureK();

    // What the device drives onto the jig's connector now.
    DeviceOutputs outputs() const;
    double dacVolts(int dac) const;
    const Calibration& calibration() const { return calibration_; }

    // Digital line 5 as the jig sees it (the digital lines tell it).
    void setLine5High(bool high) { line5High_ = high; }

private:
    double inputVolts(int channel) const;
    // Volts the scenario's interference adds to this conversion of the
    // jig's quiet input.
    double quietInputInterference();
    int gain(int channel) const;
    std::uint16_t resolution(int channel) const;
    void attach();

    const Scenario& scenario_;
    const Jig& jig_;
    const Flash& flash_;
    RegisterMap& registers_;
    GaussianNoise noise_;
    Calibration calibration_;
    bool line5High_ = true;
    std::uint64_t quietInputReads_ = 0;  // since power-up: a boot leaves it
};

}  // namespace z6
