// The Z6's 4 MB NOR flash as raw memory. Pages are 4 KB and erase to 0xFF;
// programming can only clear bits. Keys and regions are the flash window's
// business: this class checks only that an access lies inside the chip.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace z6 {

class Flash {
public:
    static constexpr std::uint32_t kSize = 0x400000;
    static constexpr std::uint32_t kPageSize = 4096;
    static constexpr std::uint8_t kErasedByte = 0xFF;

    Flash();  // factory-new: every byte erased

    std::vector<std::uint8_t> read(std::uint32_t address, std::size_t length) const;
    std::span<const std::uint8_t> bytes() const { return memory_; }

    // pageAddress must be a multiple of kPageSize.
    void erasePage(std::uint32_t pageAddress);
    void eraseAll();
    // new = old AND data.
    void program(std::uint32_t address, std::span<const std::uint8_t> data);
    // Replaces the whole content; image must be kSize bytes.
    void load(std::span<const std::uint8_t> image);

    // Counts erases, programs and loads, so that an owner that keeps the
    // flash on disk can tell whether it changed since it last saved.
    std::uint64_t changes() const { return changes_; }

private:
    // Throws std::out_of_range when [address, address + length) leaves the chip.
    static void checkRange(std::uint32_t address, std::size_t length);

    std::vector<std::uint8_t> memory_;
    std::uint64_t changes_ = 0;
};

}  // namespace z6
