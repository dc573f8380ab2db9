// Firmware image files as the factory builds them: a 128-byte header ("DQFX",
// type code, version, payload length; all most significant byte first), then
// the payload. The recovery header the device keeps in flash has the same
// layout. Used by the model's factory flash, the z6image tool and tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace z6 {

inline constexpr std::size_t kImageHeaderSize = 128;
// Type codes of the kinds the station programs (one of each).
inline constexpr std::uint32_t kMainImageType = 100007001;
inline constexpr std::uint32_t kRecoveryImageType = 100007021;
inline constexpr std::uint32_t kLoaderImageType = 100007011;

struct ImageHeaderFields {
    std::uint32_t typeCode = kRecoveryImageType;
    float version = 0.0f;          // offset 8, also written as the second version at 12
    std::uint32_t payloadLength = 0;  // offset 24
};

std::vector<std::uint8_t> makeImageHeader(const ImageHeaderFields& fields);

// The header (payload length taken from payload) followed by the payload.
std::vector<std::uint8_t> makeImage(std::uint32_t typeCode, float version, std::span<const std::uint8_t> payload);

// length bytes that differ from page to page and are never all erased (0xFF),
// so that a page written to the wrong place or not at all shows.
std::vector<std::uint8_t> patternPayload(std::size_t length);

// Writes makeImage(...) to path. Throws std::runtime_error when it cannot.
void writeImageFile(const std::filesystem::path& path, std::uint32_t typeCode, float version,
                    std::span<const std::uint8_t> payload);

}  // namespace z6
