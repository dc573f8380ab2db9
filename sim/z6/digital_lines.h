// The Z6's 23 digital lines in four ports, with what is wired to them.
// Each port has a state register (written: the output latches; read: the
// levels on its lines), a direction register (1: output) and a
// write-inhibit mask (lines whose bit is 1 keep their latch and direction
// when the port's state or direction is written). Each line also has a
// register of its own: a write makes it an output driving the value
// (0 low, else high) whatever the mask; a read gives its level.
//
// Lines tied together (by the jig, or by a short) form one net. A net reads
// low when a member is shorted to ground, else high when one is shorted to
// the supply, else low when the jig holds a member low or a member drives
// low, else high: inputs have pull-ups. Attaches itself to the register map.
#pragma once

#include "z6/electrical.h"
#include "z6/jig.h"
#include "z6/register_map.h"
#include "z6/scenario.h"

#include <array>
#include <cstdint>
#include <functional>

namespace z6 {

class DigitalLines {
public:
    // levels: bit i is line i's level.
    using LevelsHook = std::function<void(std::uint32_t levels)>;

    DigitalLines(const Faults& faults, const Jig& jig, RegisterMap& registers);
    DigitalLines(const DigitalLines&) = delete;
    DigitalLines& operator=(const DigitalLines&) = delete;

    // Start-up: every line an input, latches low, nothing inhibited.
    void boot();

    // The level of every line now.
    std::uint32_t levels() const;

    // Told of the levels at every boot and whenever they change.
    void onLevels(LevelsHook hook) { levelsHook_ = std::move(hook); }

private:
    void attach();
    // Bits of value for port's lines, placed at their line numbers.
    static std::uint32_t portLines(int port, std::uint32_t value);
    // Of a line mask, the port's lines as the port's register bits.
    static std::uint16_t portBits(int port, std::uint32_t lines);
    void changed(bool always);

    std::uint32_t stuckHigh_;
    std::uint32_t stuckLow_;
    std::uint32_t heldLow_;  // by the jig
    std::array<std::uint32_t, electrical::kDigitalLines> net_{};  // the lines each line is tied to, itself included
    RegisterMap& registers_;

    std::uint32_t latches_ = 0;
    std::uint32_t outputs_ = 0;
    std::uint32_t inhibited_ = 0;
    std::uint32_t notified_ = 0;
    LevelsHook levelsHook_;
};

}  // namespace z6
