// Checks of Modbus-feedback requests and replies, shared by every transport.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "z6_wire.h"

namespace dqm {

using z6wire::kHeaderSize;
constexpr std::uint8_t kFeedbackFunction = z6wire::kFeedback;
using z6wire::kExceptionFlag;

// The length of a request as its header gives it (6 + length field), after
// checking that it fits in bufferSize and that its frames are well formed.
// Sets expectedReply to the reply length the request asks for. Returns
// DQM_OK or DQM_ERR_REQUEST_MALFORMED.
std::int32_t measureRequest(const std::uint8_t* buffer, std::size_t bufferSize, std::size_t& requestLength,
                            std::size_t& expectedReply);

// Checks a reply against its request: whole, same transaction, the
// request's function, exactly the expected length; a device exception
// becomes its code.
std::int32_t checkReply(const std::uint8_t* request, const std::vector<std::uint8_t>& reply,
                        std::size_t expectedReply);

}  // namespace dqm
