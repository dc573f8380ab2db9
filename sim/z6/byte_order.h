// Multi-byte values on the Z6 wire and in its registers are stored most
// significant byte first.
#pragma once

#include <bit>
#include <cstdint>

namespace z6 {

inline std::uint16_t loadU16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

inline std::uint32_t loadU32(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 24) | (static_cast<std::uint32_t>(bytes[1]) << 16) |
           (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
}

inline void storeU16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value >> 8);
    bytes[1] = static_cast<std::uint8_t>(value);
}

inline void storeU32(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value >> 24);
    bytes[1] = static_cast<std::uint8_t>(value >> 16);
    bytes[2] = static_cast<std::uint8_t>(value >> 8);
    bytes[3] = static_cast<std::uint8_t>(value);
}

inline float loadF32(const std::uint8_t* bytes) { return std::bit_cast<float>(loadU32(bytes)); }
inline void storeF32(std::uint8_t* bytes, float value) { storeU32(bytes, std::bit_cast<std::uint32_t>(value)); }

}  // namespace z6
