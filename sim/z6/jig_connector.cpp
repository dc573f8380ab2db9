#include "z6/jig_connector.h"

#include "z6/byte_order.h"
#include "z6/electrical.h"
#include "z6/z6_registers.h"

#include <vector>

namespace z6 {

namespace {

// Words of the exchange set-up.
constexpr std::size_t kDataLineWord = 0;
constexpr std::size_t kClockLineWord = 1;
constexpr std::size_t kBusAddressWord = 4;
constexpr std::size_t kBytesOutWord = 8;
constexpr std::size_t kBytesInWord = 9;
constexpr std::size_t kReceiveLimit = 2 * reg::kJigExchangeInWords;

std::uint16_t word(std::span<const std::uint8_t> setUp, std::size_t index) { return loadU16(&setUp[2 * index]); }

}  // namespace

JigConnector::JigConnector(Jig& jig, RegisterMap& registers) : jig_(jig), registers_(registers) {
    registers_.onWrite(reg::kJigExchange, [this](std::span<const std::uint8_t> setUp) { return exchange(setUp); });
}

void JigConnector::boot() {
    registers_.setRaw(reg::kJigExchangeIn, std::vector<std::uint8_t>(kReceiveLimit, 0));
}

DeviceError JigConnector::exchange(std::span<const std::uint8_t> setUp) {
    const std::span<const std::uint8_t> sendable = setUp.subspan(2 * reg::kJigExchangeHeaderWords);
    const std::uint16_t bytesOut = word(setUp, kBytesOutWord);
    const std::uint16_t bytesIn = word(setUp, kBytesInWord);
    if (bytesOut > sendable.size() || bytesIn > kReceiveLimit) return DeviceError::JigExchangeInvalid;

    // The memory answers only on its own lines.
    std::vector<std::uint8_t> received(kReceiveLimit, 0);
    const bool onMemoryLines = word(setUp, kDataLineWord) == electrical::kMemoryDataLine &&
                               word(setUp, kClockLineWord) == electrical::kMemoryClockLine;
    if (!onMemoryLines ||
        !jig_.memoryExchange(word(setUp, kBusAddressWord), sendable.first(bytesOut),
                             std::span(received).first(bytesIn))) {
        return DeviceError::JigMemoryNoAnswer;
    }
    registers_.setRaw(reg::kJigExchangeIn, received);
    return DeviceError::None;
}

}  // namespace z6
