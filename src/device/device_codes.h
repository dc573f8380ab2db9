// The station's own codes for device requests it refuses before sending, and
// for firmware images it refuses to program. They stay below 100, apart from
// every code the device library returns; the one exception is the unknown
// image type, 12345, a number the factory already knows.
#pragma once

#include <cstdint>

namespace device {

// flashWrite of an odd length; flashUpdate of a range that leaves its page.
constexpr std::int32_t kFlashRefused = 1;
// A Modbus-feedback request that would not fit in its 1536-byte buffer.
constexpr std::int32_t kRequestTooLarge = 2;
// An operation the wire cannot carry: a register count outside 0 to 255, or
// data to write or read through a view that is not set.
constexpr std::int32_t kBadOperation = 3;
// configureAin with a range index outside 0 to 3.
constexpr std::int32_t kBadRangeIndex = 4;

// Firmware upgrade: the image is refused before anything is erased.
// No file matched the image's name prefix.
constexpr std::int32_t kImageNotFound = 10;
// The image file cannot be opened.
constexpr std::int32_t kImageCannotOpen = 11;
// The image file was not read to its end (or is larger than the flash).
constexpr std::int32_t kImageNotReadToEnd = 12;
// The image file does not start with "DQFX".
constexpr std::int32_t kImageBadMagic = 13;
// The image file is shorter than its 128-byte header.
constexpr std::int32_t kImageTooShort = 15;
// The image file holds fewer payload bytes than its header's payload length.
constexpr std::int32_t kImagePayloadMissing = 16;
// The header's payload length is 0, or larger than the image region the
// upgrade erases for its type.
constexpr std::int32_t kImagePayloadLengthInvalid = 17;
// The header's type code selects no image kind.
constexpr std::int32_t kUnknownImageType = 12345;

}  // namespace device
