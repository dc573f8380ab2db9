// A scenario describes one simulated Z6: its identity and the faults it
// shows. Scenarios are JSON files (sim/scenarios/NAME.json):
//   {"name": ..., "description": ..., "extends": "healthy",
//    "identity": {...}, "analog": {...}, "settings": {...}, "clock": {...},
//    "jig": {...}, "faults": {...}}
// A scenario that extends another takes its values and overrides those it
// gives, key by key. Its name and description are its own: "name", when
// given, must match the file name, and a description is not inherited.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace z6 {

struct Identity {
    float productId = 7.0f;
    std::uint32_t options = 0;  // bit 0: Pro variant; bit 3: SD card mounted
    float hardwareVersion = 1.30f;
    float firmwareVersion = 1.03f;
    float bootstrapVersion = 0.96f;
    std::uint32_t flashChipId = 73;
    std::uint32_t flashFlags = 0;  // 0x40: chip unknown to the firmware
    float wifiVersion = 3.12f;      // WiFi module firmware
    float recoveryVersion = 0.70f;  // in the recovery image header of a factory-new flash
};

// The device's own electrical values.
struct AnalogSettings {
    float supplyVolts = 5.05f;  // Vs, as the jig feeds it
    float supplyAmps = 0.215f;  // what the device draws from it
    float vmPlusVolts = 12.52f;
    float vmMinusVolts = -12.47f;
    float temperatureK = 301.2f;  // at the internal sensor
    std::uint32_t noiseSeed = 1;  // readings are noisy, the same way on every run
    bool operator==(const AnalogSettings&) const = default;
};

// What the device keeps stored.
struct StoredSettings {
    bool factoryStartup = true;       // start-up settings are the factory ones
    std::string name = "My_Z6_0000";  // device name, at most 40 bytes
    bool operator==(const StoredSettings&) const = default;
};

// The device's real-time clock against the simulator's clock.
struct ClockSettings {
    std::int32_t offsetSeconds = 0;
    bool operator==(const ClockSettings&) const = default;
};

// The test jig the device sits in. Its memory holds its type, its code and
// seven constants; the constants are also what its circuits really are.
struct JigSettings {
    bool present = true;
    std::uint32_t type = 6;       // in its memory, 0 to 65535
    std::uint32_t code = 3;       // in its memory, 0 to 255
    std::uint32_t wiredCode = 3;  // on digital lines 0 to 4, 0 to 31
    bool memoryBlank = false;     // its memory reads all 0xFF
    float vmPlusRatio = 3.0012f;        // constant 1: Vm+ divider, volts per volt read
    float vmMinusRatio = 2.9987f;       // constant 2: Vm- divider
    float load200uAOhms = 19987.0f;     // constant 3: load of the 200 uA source
    float constant4 = 1.0f;             // constant 4: the station does not use it
    float load10uAOhms = 49950.0f;      // constant 5: load of the 10 uA source
    float senseOhms = 0.1002f;          // constant 6: supply current-sense resistor
    float biasShuntOhms = 99870.0f;     // constant 7: shunt for the input bias current
    float ambientK = 298.15f;           // at the external temperature sensor
    bool dacLoopbacksSwapped = false;   // DAC0 wired to AIN1 and DAC1 to AIN0
    float referenceDivider = 0.0441f;   // what line 5 low scales the reference by; 1: never engages
    bool operator==(const JigSettings&) const = default;
};

struct Faults {
    std::uint32_t flashReadBusy = 0;  // reads of the flash data refused as busy before reads work
    bool dac0Stuck = false;           // the output stays at 0 V whatever its code
    bool dac1Stuck = false;
    float dac0OffsetVolts = 0.0f;     // added to DAC0's output (which never goes below 0 V)
    std::uint32_t diagnosticCode = 0;  // the firmware's self-diagnostic result; 2950: main oscillator failed
    // What each input range really amplifies, relative to its nominal gain:
    // 0.1 on the 0.1 V range makes it amplify like the 1 V range.
    float gain10V = 1.0f;
    float gain1V = 1.0f;
    float gain100mV = 1.0f;
    float gain10mV = 1.0f;
    // Interference on the jig's quiet input (channel 15): Gaussian noise of
    // this standard deviation at the input, on the first quietInputNoisyReads
    // conversions of the channel since power-up, restarts included (0: on
    // all of them).
    float quietInputNoiseVolts = 0.0f;
    std::uint32_t quietInputNoisyReads = 0;
    // Digital line masks (bit i: line i): pins shorted to the supply, to
    // ground, and to each other (all of them one net).
    std::uint32_t dioStuckHigh = 0;
    std::uint32_t dioStuckLow = 0;
    std::uint32_t dioShorted = 0;
    bool operator==(const Faults&) const = default;
};

// Defaults are a good, non-Pro Z6 in a good jig.
struct Scenario {
    std::string name;
    std::string description;
    Identity identity;
    AnalogSettings analog;
    StoredSettings settings;
    ClockSettings clock;
    JigSettings jig;
    Faults faults;
};

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The scenarios in the source tree.
std::filesystem::path defaultScenarioDir();

// Throws ScenarioError: unknown name (the message lists those available),
// unreadable or invalid JSON, an unknown key, a value of the wrong type or
// out of its field's range, an extends chain that loops or is too deep.
Scenario loadScenario(const std::string& name);
Scenario loadScenario(const std::string& name, const std::filesystem::path& dir);

// Names of the scenarios in dir, sorted. Throws ScenarioError when dir is
// not a directory.
std::vector<std::string> listScenarios(const std::filesystem::path& dir);

}  // namespace z6
