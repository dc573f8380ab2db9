#include "support/feedback_traffic.h"

#include <iomanip>

namespace testing_support {

namespace {

constexpr std::uint16_t kFlashKey = 61800;
constexpr std::uint16_t kFlashErase = 61820;
constexpr std::uint16_t kFlashProgram = 61830;
constexpr std::size_t kHeaderSize = 8;

std::uint32_t u32At(const Bytes& data, std::size_t offset = 0) {
    if (data.size() < offset + 4) return 0;
    return static_cast<std::uint32_t>(data[offset]) << 24 | static_cast<std::uint32_t>(data[offset + 1]) << 16 |
           static_cast<std::uint32_t>(data[offset + 2]) << 8 | data[offset + 3];
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const FlashAccess& access) {
    return out << std::hex << "{key " << access.key << ", at " << access.address << std::dec << ", " << access.size
               << " bytes}";
}

void FeedbackTraffic::record(const std::uint8_t* request, std::size_t length, std::uint32_t tick) {
    FeedbackRequest decoded{tick, {}};
    std::size_t at = kHeaderSize;
    while (at + 4 <= length) {
        FeedbackFrame frame;
        frame.write = request[at] == 1;
        frame.address = static_cast<std::uint16_t>(request[at + 1] << 8 | request[at + 2]);
        frame.count = request[at + 3];
        at += 4;
        if (frame.write) {
            const std::size_t size = std::min<std::size_t>(2u * frame.count, length - at);
            frame.data.assign(request + at, request + at + size);
            at += size;
        }
        decoded.frames.push_back(std::move(frame));
    }
    requests_.push_back(std::move(decoded));
}

// Writes to one flash register, each with the key written before it in its
// request; size is what follows the 4-byte address (0 when nothing does).
std::vector<FlashAccess> FeedbackTraffic::flashWrites(std::uint16_t address) const {
    std::vector<FlashAccess> found;
    for (const FeedbackRequest& request : requests_) {
        std::uint32_t key = 0;
        for (const FeedbackFrame& frame : request.frames) {
            if (!frame.write) continue;
            if (frame.address == kFlashKey) key = u32At(frame.data);
            if (frame.address == address && frame.data.size() >= 4)
                found.push_back({key, u32At(frame.data), static_cast<std::uint32_t>(frame.data.size() - 4)});
        }
    }
    return found;
}

std::vector<FlashAccess> FeedbackTraffic::erases() const { return flashWrites(kFlashErase); }

std::vector<FlashAccess> FeedbackTraffic::programs() const { return flashWrites(kFlashProgram); }

std::vector<FeedbackTraffic::U32Write> FeedbackTraffic::u32Writes(std::uint16_t address) const {
    std::vector<U32Write> found;
    for (const FeedbackRequest& request : requests_)
        for (const FeedbackFrame& frame : request.frames)
            if (frame.write && frame.address == address) found.push_back({u32At(frame.data), request.tick});
    return found;
}

std::vector<std::uint16_t> FeedbackTraffic::u16Writes(std::uint16_t address) const {
    std::vector<std::uint16_t> found;
    for (const FeedbackRequest& request : requests_)
        for (const FeedbackFrame& frame : request.frames)
            if (frame.write && frame.address == address && frame.data.size() == 2)
                found.push_back(static_cast<std::uint16_t>(frame.data[0] << 8 | frame.data[1]));
    return found;
}

std::size_t FeedbackTraffic::reads(std::uint16_t address) const {
    std::size_t count = 0;
    for (const FeedbackRequest& request : requests_)
        for (const FeedbackFrame& frame : request.frames) count += !frame.write && frame.address == address;
    return count;
}

std::vector<FlashAccess> pageErases(std::uint32_t key, std::uint32_t start, std::uint32_t count) {
    std::vector<FlashAccess> erases;
    for (std::uint32_t i = 0; i < count; ++i) erases.push_back({key, start + 4096 * i, 0});
    return erases;
}

std::vector<FlashAccess> programChunks(std::uint32_t key, std::uint32_t start, std::uint32_t length) {
    std::vector<FlashAccess> chunks;
    for (std::uint32_t done = 0; done < length; done += 32)
        chunks.push_back({key, start + done, std::min<std::uint32_t>(32, length - done)});
    return chunks;
}

}  // namespace testing_support
