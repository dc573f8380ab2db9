#include "mbfb_frames.h"

#include "DaqoraM.h"
#include "z6_wire.h"

namespace dqm {

std::int32_t measureRequest(const std::uint8_t* buffer, std::size_t bufferSize, std::size_t& requestLength,
                            std::size_t& expectedReply) {
    if (bufferSize < kHeaderSize) return DQM_ERR_REQUEST_MALFORMED;
    requestLength = z6wire::messageLength(buffer);
    if (requestLength < kHeaderSize || requestLength > bufferSize) return DQM_ERR_REQUEST_MALFORMED;
    if (buffer[7] != kFeedbackFunction) return DQM_ERR_REQUEST_MALFORMED;

    // Frames: write flag, address (2 bytes), register count; a write carries
    // its data right after its frame, a read adds its data to the reply.
    expectedReply = kHeaderSize;
    std::size_t at = kHeaderSize;
    while (at < requestLength) {
        if (requestLength - at < 4) return DQM_ERR_REQUEST_MALFORMED;
        const bool isWrite = buffer[at] == 1;
        const std::size_t dataBytes = 2u * buffer[at + 3];
        at += 4;
        if (isWrite) {
            if (requestLength - at < dataBytes) return DQM_ERR_REQUEST_MALFORMED;
            at += dataBytes;
        } else {
            expectedReply += dataBytes;
        }
    }
    if (expectedReply > bufferSize) return DQM_ERR_REQUEST_MALFORMED;
    return DQM_OK;
}

std::int32_t checkReply(const std::uint8_t* request, const std::vector<std::uint8_t>& reply,
                        std::size_t expectedReply) {
    if (reply.size() < 6) return DQM_ERR_REPLY_TRUNCATED;
    const std::size_t declared = z6wire::messageLength(reply.data());
    if (reply.size() < declared) return DQM_ERR_REPLY_TRUNCATED;
    if (reply.size() > declared) return DQM_ERR_REPLY_WRONG_LENGTH;
    if (z6wire::loadU16(reply.data()) != z6wire::loadU16(request) || z6wire::loadU16(reply.data() + 2) != 0)
        return DQM_ERR_REPLY_WRONG_TRANSACTION;
    if (reply.size() < kHeaderSize) return DQM_ERR_REPLY_TRUNCATED;

    const std::uint8_t function = reply[7];
    if (function == (request[7] | kExceptionFlag)) {
        // Exception: code, then (from a Z6) a 16-bit device error code.
        if (reply.size() < kHeaderSize + 1) return DQM_ERR_REPLY_TRUNCATED;
        if (reply.size() >= kHeaderSize + 3) {
            const std::uint16_t deviceCode = z6wire::loadU16(reply.data() + kHeaderSize + 1);
            if (deviceCode != 0) return deviceCode;
        }
        return DQM_ERR_EXCEPTION_BASE + reply[kHeaderSize];
    }
    if (function != request[7]) return DQM_ERR_REPLY_WRONG_FUNCTION;
    if (reply.size() != expectedReply) return DQM_ERR_REPLY_WRONG_LENGTH;
    return DQM_OK;
}

}  // namespace dqm
