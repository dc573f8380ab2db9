// The test jig the Z6 sits in: a small memory with the jig's identity and
// constants, a code wired onto digital lines 0 to 4, loops between the other
// digital lines, and the circuits that connect the device's outputs,
// supplies and sources to its analog inputs.
// The jig only answers: the device side of the connection (registers) is
// in jig_connector.h, digital_lines.h and analog_front_end.h.
#pragma once

#include "z6/scenario.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace z6 {

// What the device puts on the jig's connector at one moment.
struct DeviceOutputs {
    double dacVolts[2] = {0.0, 0.0};
    double referenceSetPoint = 0.0;  // what the device asks of the jig's reference source
    bool line5High = true;           // digital line 5: low engages the reference divider
    double source10uAAmps = 0.0;
    double source200uAAmps = 0.0;
    double inputBiasAmps = 0.0;
    double supplyVolts = 0.0;
    double supplyAmps = 0.0;
    double vmPlusVolts = 0.0;
    double vmMinusVolts = 0.0;
};

class Jig {
public:
    static constexpr std::size_t kMemorySize = 256;
    static constexpr std::size_t kRecordSize = 32;
    static constexpr std::uint8_t kRecordFormat = 1;  // byte 0 of the record

    explicit Jig(const JigSettings& settings);

    bool present() const { return settings_.present; }
    const JigSettings& settings() const { return settings_; }

    // The 32-byte record a jig with these settings holds at the start of its
    // memory: format, code, type (big-endian), constants 1 to 7 (big-endian floats).
    static std::array<std::uint8_t, kRecordSize> record(const JigSettings& settings);

    // One exchange on the memory's bus with the device at busAddress: the
    // first byte sent sets the memory's read address (the memory is write
    // protected, so further bytes change nothing), then in.size() bytes are
    // read from there on. False when nothing answers at busAddress.
    bool memoryExchange(std::uint16_t busAddress, std::span<const std::uint8_t> out, std::span<std::uint8_t> in);

    // What the jig does to the digital lines (bit i: line i): groups of
    // lines it ties together, and lines it holds low. Nothing without a jig.
    struct LineWiring {
        std::span<const std::uint32_t> tied;
        std::uint32_t heldLow = 0;
    };
    LineWiring lineWiring() const;

    // Volts the jig puts on analog input channel (against ground).
    double inputVolts(int channel, const DeviceOutputs& outputs) const;
    // Volts of the reference source at its terminals (channel 8 against 9),
    // where a bench meter would measure it too.
    double referenceVolts(const DeviceOutputs& outputs) const;

private:
    JigSettings settings_;
    std::array<std::uint8_t, kMemorySize> memory_;
    std::uint8_t readAddress_ = 0;
};

}  // namespace z6
