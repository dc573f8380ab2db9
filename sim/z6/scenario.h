// A scenario describes one simulated Z6: its identity and the faults it
// shows. Scenarios are JSON files (sim/scenarios/NAME.json):
//   {"name": ..., "description": ..., "extends": "healthy",
//    "identity": {...}, "faults": {...}}
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
    std::uint32_t options = 0;  // bit 0: Pro variant
    float hardwareVersion = 1.30f;
    float firmwareVersion = 1.03f;
    float bootstrapVersion = 0.96f;
    std::uint32_t flashChipId = 73;
    std::uint32_t flashFlags = 0;  // 0x40: chip unknown to the firmware
    float wifiVersion = 3.12f;      // WiFi module firmware
    float recoveryVersion = 0.70f;  // in the recovery image header of a factory-new flash
};

struct Faults {
    std::uint32_t flashReadBusy = 0;  // reads of the flash data refused as busy before reads work
};

// Defaults are a good, non-Pro Z6.
struct Scenario {
    std::string name;
    std::string description;
    Identity identity;
    Faults faults;
};

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The scenarios in the source tree.
std::filesystem::path defaultScenarioDir();

// Throws ScenarioError: unknown name (the message lists those available),
// unreadable or invalid JSON, an unknown key, a value of the wrong type, an
// extends chain that loops or is too deep.
Scenario loadScenario(const std::string& name);
Scenario loadScenario(const std::string& name, const std::filesystem::path& dir);

// Names of the scenarios in dir, sorted. Throws ScenarioError when dir is
// not a directory.
std::vector<std::string> listScenarios(const std::filesystem::path& dir);

}  // namespace z6
