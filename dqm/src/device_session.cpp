#include "device_session.h"

#include "mbfb_frames.h"

#include "z6_wire.h"

#include <bit>
#include <chrono>
#include <cstring>

namespace dqm {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int32_t kTypeU16 = 0;
constexpr std::int32_t kTypeI32 = 2;
constexpr std::int32_t kTypeF32 = 3;
constexpr std::size_t kMaxScanAddresses = 32;
constexpr std::int32_t kMaxScansPerRead = 100000;
constexpr std::size_t kStreamControlReply = z6wire::kHeaderSize + 5;  // action, rate

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool isStreamData(const std::vector<std::uint8_t>& message) {
    return message.size() >= z6wire::kHeaderSize && message[7] == z6wire::kStreamData;
}

}  // namespace

std::int32_t DeviceSession::exchange(const std::uint8_t* request, std::size_t length, std::size_t expectedLength,
                                     std::vector<std::uint8_t>& reply) {
    if (std::int32_t code = link_->send(request, length)) return code;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kReplyTimeoutMs);
    for (;;) {
        if (std::int32_t code = link_->receive(reply, remainingMs(deadline))) return code;
        if (!isStreamData(reply)) break;
        if (streaming_ && !keepStreamData(reply)) {
            link_->drop();
            return DQM_ERR_STREAM_DATA_INVALID;
        }
    }
    const std::int32_t code = checkReply(request, reply, expectedLength);
    // A reply that does not fit its request leaves the connection out of
    // step: start the next request on a fresh one. Exceptions are replies.
    if (code != DQM_OK && code < DQM_ERR_EXCEPTION_BASE) link_->drop();
    return code;
}

std::int32_t DeviceSession::feedback(std::uint8_t* buffer) {
    std::size_t requestLength = 0;
    std::size_t expectedReply = 0;
    if (std::int32_t code = measureRequest(buffer, DQM_MBFB_BUFFER_SIZE, requestLength, expectedReply)) return code;
    std::vector<std::uint8_t> reply;
    if (std::int32_t code = exchange(buffer, requestLength, expectedReply, reply)) return code;
    std::memcpy(buffer, reply.data(), reply.size());
    return DQM_OK;
}

std::int32_t DeviceSession::readAddress(std::int32_t address, std::int32_t dataType, double& value) {
    const std::uint8_t registers = dataType == kTypeU16 ? 1 : 2;
    // One feedback read of the register, as a program would send it.
    std::uint8_t buffer[DQM_MBFB_BUFFER_SIZE] = {};
    z6wire::storeU16(buffer + 4, 6);  // unit, function and one read frame
    buffer[7] = kFeedbackFunction;
    z6wire::storeU16(buffer + 9, static_cast<std::uint16_t>(address));
    buffer[11] = registers;
    if (std::int32_t code = feedback(buffer)) return code;

    const std::uint8_t* data = buffer + kHeaderSize;
    const std::uint32_t bits = registers == 1 ? z6wire::loadU16(data) : z6wire::loadU32(data);
    switch (dataType) {
        case kTypeI32: value = static_cast<std::int32_t>(bits); break;
        case kTypeF32: value = std::bit_cast<float>(bits); break;
        default: value = bits; break;
    }
    return DQM_OK;
}

std::int32_t DeviceSession::streamControl(std::uint8_t action, float rate, const std::vector<std::uint16_t>& addresses,
                                          float& rateInUse) {
    std::vector<std::uint8_t> request(z6wire::kHeaderSize + 1 + (action == z6wire::kStreamStart ? 6 + 2 * addresses.size() : 0));
    z6wire::storeU16(request.data() + 4, static_cast<std::uint16_t>(request.size() - z6wire::kPrefixSize));
    request[7] = z6wire::kStreamControl;
    request[8] = action;
    if (action == z6wire::kStreamStart) {
        z6wire::storeU32(request.data() + 9, std::bit_cast<std::uint32_t>(rate));
        z6wire::storeU16(request.data() + 13, static_cast<std::uint16_t>(addresses.size()));
        for (std::size_t i = 0; i < addresses.size(); ++i) z6wire::storeU16(request.data() + 15 + 2 * i, addresses[i]);
    }
    std::vector<std::uint8_t> reply;
    if (std::int32_t code = exchange(request.data(), request.size(), kStreamControlReply, reply)) return code;
    rateInUse = std::bit_cast<float>(z6wire::loadU32(reply.data() + 9));
    return DQM_OK;
}

std::int32_t DeviceSession::streamStart(std::int32_t scansPerRead, std::int32_t addressCount,
                                        const std::int32_t* addresses, double& scanRate) {
    if (streaming_) return DQM_ERR_STREAM_ALREADY_RUNNING;
    if (scansPerRead < 1 || scansPerRead > kMaxScansPerRead || addressCount < 1 ||
        static_cast<std::size_t>(addressCount) > kMaxScanAddresses || !(scanRate > 0.0))
        return DQM_ERR_INVALID_ARGUMENT;
    std::vector<std::uint16_t> scanList;
    for (std::int32_t i = 0; i < addressCount; ++i) {
        if (addresses[i] < 0 || addresses[i] > 0xFFFF) return DQM_ERR_INVALID_ARGUMENT;
        scanList.push_back(static_cast<std::uint16_t>(addresses[i]));
    }
    float rateInUse = 0.0f;
    if (std::int32_t code = streamControl(z6wire::kStreamStart, static_cast<float>(scanRate), scanList, rateInUse))
        return code;
    streaming_ = true;
    scansPerRead_ = static_cast<std::size_t>(scansPerRead);
    valuesPerScan_ = scanList.size();
    scanRate_ = rateInUse;
    scanRate = rateInUse;
    streamValues_.clear();
    return DQM_OK;
}

bool DeviceSession::keepStreamData(const std::vector<std::uint8_t>& message) {
    if (message.size() < z6wire::kHeaderSize + z6wire::kStreamDataHeader) return false;
    const std::uint8_t* data = message.data() + z6wire::kHeaderSize;
    const std::size_t scans = z6wire::loadU16(data + 4);
    const std::size_t perScan = z6wire::loadU16(data + 6);
    if (perScan != valuesPerScan_ ||
        message.size() != z6wire::kHeaderSize + z6wire::kStreamDataHeader + 4 * scans * perScan)
        return false;
    const std::uint8_t* value = data + z6wire::kStreamDataHeader;
    for (std::size_t i = 0; i < scans * perScan; ++i, value += 4)
        streamValues_.push_back(std::bit_cast<float>(z6wire::loadU32(value)));
    return true;
}

std::int32_t DeviceSession::streamRead(double* data, std::int32_t& deviceBacklog, std::int32_t& libraryBacklog) {
    if (!streaming_) return DQM_ERR_STREAM_NOT_RUNNING;
    const std::size_t wanted = scansPerRead_ * valuesPerScan_;
    // The device paces the data; allow twice the time a read should take.
    const int readTimeoutMs = kReplyTimeoutMs + static_cast<int>(2000.0 * static_cast<double>(scansPerRead_) / scanRate_);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(readTimeoutMs);
    std::vector<std::uint8_t> message;
    while (streamValues_.size() < wanted) {
        if (std::int32_t code = link_->receive(message, remainingMs(deadline))) return code;
        if (isStreamData(message) && !keepStreamData(message)) {
            link_->drop();
            return DQM_ERR_STREAM_DATA_INVALID;
        }
    }
    std::copy(streamValues_.begin(), streamValues_.begin() + static_cast<long>(wanted), data);
    streamValues_.erase(streamValues_.begin(), streamValues_.begin() + static_cast<long>(wanted));
    deviceBacklog = 0;
    libraryBacklog = static_cast<std::int32_t>(streamValues_.size() / valuesPerScan_);
    return DQM_OK;
}

std::int32_t DeviceSession::streamStop() {
    if (!streaming_) return DQM_ERR_STREAM_NOT_RUNNING;
    streaming_ = false;
    streamValues_.clear();
    float ignored = 0.0f;
    return streamControl(z6wire::kStreamStop, 0.0f, {}, ignored);
}

}  // namespace dqm
