// One connection to a Z6, as the device sees it: request messages in,
// replies out, and while a stream runs, the stream data the device sends on
// its own, paced by the model's clock. The z6sim daemon keeps one per
// socket; the in-process bus one per handle.
#pragma once

#include "z6/z6_model.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace z6 {

class DeviceConnection {
public:
    explicit DeviceConnection(Z6Model& model);

    // Answers one whole request message. Empty while the device is away.
    std::vector<std::uint8_t> handle(const std::uint8_t* message, std::size_t length);

    // False once the device restarted after this connection was made: the
    // device dropped it.
    bool alive() const { return model_.boots() == boot_; }

    bool streaming() const { return streaming_; }
    // Stream data messages due by now, oldest first.
    std::vector<std::vector<std::uint8_t>> takeDue();
    // Milliseconds until more stream data is due; -1 when no stream runs.
    int msUntilDue() const;

    // Stream data is sent about every kFrameMs, at most kMaxScansPerFrame
    // scans per message.
    static constexpr std::uint32_t kFrameMs = 10;
    static constexpr std::uint32_t kMaxScansPerFrame = 200;
    static constexpr std::size_t kMaxAddresses = 32;
    static constexpr double kMaxScanRate = 100000.0;

private:
    std::vector<std::uint8_t> streamControl(const std::uint8_t* message, std::size_t length);
    std::uint64_t scansDueBy(std::uint32_t elapsedMs) const;
    float sample(std::uint16_t address);

    Z6Model& model_;
    std::uint64_t boot_;
    bool streaming_ = false;
    double scanRate_ = 0.0;
    std::vector<std::uint16_t> addresses_;
    std::uint32_t startTick_ = 0;
    std::uint64_t scansSent_ = 0;
};

}  // namespace z6
