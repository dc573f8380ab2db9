#include "z6/digital_lines.h"

#include "z6/byte_order.h"
#include "z6/z6_registers.h"

namespace z6 {

namespace {

namespace el = electrical;

std::uint16_t address(std::uint16_t base, int index) { return static_cast<std::uint16_t>(base + index); }

std::uint32_t widthMask(int port) { return (std::uint32_t{1} << el::kDigitalPorts[port].width) - 1; }

// Lines joined into nets, each line starting alone.
class Nets {
public:
    Nets() {
        for (int i = 0; i < el::kDigitalLines; ++i) parent_[i] = i;
    }
    // Ties every line of mask into one net.
    void tie(std::uint32_t mask) {
        int first = -1;
        for (int i = 0; i < el::kDigitalLines; ++i) {
            if ((mask & el::line(i)) == 0) continue;
            if (first < 0) {
                first = i;
            } else {
                parent_[root(i)] = root(first);
            }
        }
    }
    // The lines of line's net, line included.
    std::uint32_t members(int line) {
        std::uint32_t mask = 0;
        for (int i = 0; i < el::kDigitalLines; ++i)
            if (root(i) == root(line)) mask |= el::line(i);
        return mask;
    }

private:
    // Only roots are linked, to other roots, so a walk up never loops and
    // ends within kDigitalLines steps.
    int root(int line) {
        for (int step = 0; step < el::kDigitalLines && parent_[line] != line; ++step) line = parent_[line];
        return line;
    }
    std::array<int, el::kDigitalLines> parent_{};
};

}  // namespace

DigitalLines::DigitalLines(const Faults& faults, const Jig& jig, RegisterMap& registers)
    : stuckHigh_(faults.dioStuckHigh & el::kAllLines),
      stuckLow_(faults.dioStuckLow & el::kAllLines),
      registers_(registers) {
    const Jig::LineWiring wiring = jig.lineWiring();
    heldLow_ = wiring.heldLow & el::kAllLines;
    Nets nets;
    for (std::uint32_t tied : wiring.tied) nets.tie(tied);
    nets.tie(faults.dioShorted);
    for (int i = 0; i < el::kDigitalLines; ++i) net_[i] = nets.members(i);
    attach();
}

void DigitalLines::boot() {
    latches_ = 0;
    outputs_ = 0;
    inhibited_ = 0;
    changed(true);
}

std::uint32_t DigitalLines::levels() const {
    const std::uint32_t drivenLow = outputs_ & ~latches_;
    std::uint32_t high = 0;
    for (int i = 0; i < el::kDigitalLines; ++i) {
        const std::uint32_t net = net_[i];
        const bool low = (net & stuckLow_) != 0 ||
                         ((net & stuckHigh_) == 0 && ((net & heldLow_) != 0 || (net & drivenLow) != 0));
        if (!low) high |= el::line(i);
    }
    return high;
}

std::uint32_t DigitalLines::portLines(int port, std::uint32_t value) {
    return (value & widthMask(port)) << el::kDigitalPorts[port].firstLine;
}

std::uint16_t DigitalLines::portBits(int port, std::uint32_t lines) {
    return static_cast<std::uint16_t>((lines >> el::kDigitalPorts[port].firstLine) & widthMask(port));
}

void DigitalLines::changed(bool always) {
    const std::uint32_t now = levels();
    if ((always || now != notified_) && levelsHook_) levelsHook_(now);
    notified_ = now;
}

void DigitalLines::attach() {
    const auto readAs = [](std::function<std::uint16_t()> value) {
        return [value = std::move(value)](std::span<std::uint8_t> block) {
            storeU16(block.data(), value());
            return DeviceError::None;
        };
    };

    for (int port = 0; port < el::kDigitalPortCount; ++port) {
        // A write sets the lines the mask leaves free; the rest keep theirs.
        const auto writeFree = [this, port](std::uint32_t DigitalLines::*lines) {
            return [this, port, lines](std::span<const std::uint8_t> data) {
                const std::uint32_t free = portLines(port, ~std::uint32_t{0}) & ~inhibited_;
                this->*lines = (this->*lines & ~free) | (portLines(port, loadU16(data.data())) & free);
                changed(false);
                return DeviceError::None;
            };
        };
        registers_.onWrite(address(reg::kDigitalState, port), writeFree(&DigitalLines::latches_));
        registers_.onWrite(address(reg::kDigitalDirection, port), writeFree(&DigitalLines::outputs_));
        registers_.onWrite(address(reg::kDigitalInhibit, port), [this, port](std::span<const std::uint8_t> data) {
            inhibited_ = (inhibited_ & ~portLines(port, ~std::uint32_t{0})) | portLines(port, loadU16(data.data()));
            return DeviceError::None;
        });
        registers_.onRead(address(reg::kDigitalState, port),
                          readAs([this, port] { return portBits(port, levels()); }));
        registers_.onRead(address(reg::kDigitalDirection, port),
                          readAs([this, port] { return portBits(port, outputs_); }));
        registers_.onRead(address(reg::kDigitalInhibit, port),
                          readAs([this, port] { return portBits(port, inhibited_); }));
    }

    for (int i = 0; i < el::kDigitalLines; ++i) {
        const std::uint32_t line = el::line(i);
        registers_.onWrite(address(reg::kDigitalLine, i), [this, line](std::span<const std::uint8_t> data) {
            outputs_ |= line;
            latches_ = loadU16(data.data()) != 0 ? latches_ | line : latches_ & ~line;
            changed(false);
            return DeviceError::None;
        });
        registers_.onRead(address(reg::kDigitalLine, i), readAs([this, line] {
            return static_cast<std::uint16_t>((levels() & line) != 0 ? 1 : 0);
        }));
    }
}

}  // namespace z6
