// What a simulated Z6 keeps between runs, in a directory: the flash image
// (flash.bin, exactly 4 MB) and the persistent registers (settings.json,
// {"version": 1, "registers": {"4990": "0000012C", ...}}: each block's
// stored bytes in hex, keyed by its address).
//
// Each file is written under a temporary name and renamed into place, so an
// interrupted save leaves the old file or the new one, never half of one.
#pragma once

#include "z6/register_map.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace z6 {

class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kFlashImageFile = "flash.bin";
inline constexpr const char* kSettingsFile = "settings.json";

using RegisterValues = std::map<std::uint16_t, std::vector<std::uint8_t>>;  // address -> stored bytes

struct StoredState {
    std::optional<std::vector<std::uint8_t>> flashImage;  // absent: factory-new flash
    RegisterValues settings;                               // only those the file holds
};

// Creates dir when needed. Throws StateError when a file cannot be written.
void writeState(const std::filesystem::path& dir, std::span<const std::uint8_t> flashImage,
                const RegisterValues& settings);

// A missing directory or file reads as factory-new. Throws StateError for a
// flash image of the wrong size and for settings that are not valid JSON,
// name a register that is not a persistent block of layout, or hold the
// wrong number of bytes for it.
StoredState readState(const std::filesystem::path& dir, const RegisterMap& layout);

}  // namespace z6
