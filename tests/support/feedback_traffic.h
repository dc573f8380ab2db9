// The feedback requests a device answered, decoded frame by frame, for tests
// that check what the station sent: erases, programmed chunks, register
// writes, and when they happened on the virtual clock.
#pragma once

#include "support/wire_bytes.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

namespace testing_support {

struct FeedbackFrame {
    bool write = false;
    std::uint16_t address = 0;
    std::uint8_t count = 0;
    Bytes data;  // write frames only
};

struct FeedbackRequest {
    std::uint32_t tick = 0;  // the clock's tick count when it was answered
    std::vector<FeedbackFrame> frames;
};

// A flash operation: the key written with it and its address; size is the
// number of data bytes of a program chunk (0 for an erase).
struct FlashAccess {
    std::uint32_t key;
    std::uint32_t address;
    std::uint32_t size;
    bool operator==(const FlashAccess&) const = default;
};
std::ostream& operator<<(std::ostream& out, const FlashAccess& access);

class FeedbackTraffic {
public:
    void record(const std::uint8_t* request, std::size_t length, std::uint32_t tick);
    const std::vector<FeedbackRequest>& requests() const { return requests_; }
    std::vector<FlashAccess> flashWrites(std::uint16_t address) const;

    std::vector<FlashAccess> erases() const;
    std::vector<FlashAccess> programs() const;
    // The 32-bit values written to a register, with the request each was in.
    struct U32Write {
        std::uint32_t value;
        std::uint32_t tick;
    };
    std::vector<U32Write> u32Writes(std::uint16_t address) const;
    // The 16-bit values written to a register, in order.
    std::vector<std::uint16_t> u16Writes(std::uint16_t address) const;
    // How many reads began at a register.
    std::size_t reads(std::uint16_t address) const;

private:
    std::vector<FeedbackRequest> requests_;
};

// The erases of count pages from start.
std::vector<FlashAccess> pageErases(std::uint32_t key, std::uint32_t start, std::uint32_t count);
// The 32-byte program chunks (the last one shorter) of length bytes at start.
std::vector<FlashAccess> programChunks(std::uint32_t key, std::uint32_t start, std::uint32_t length);

}  // namespace testing_support
