#include "z6/flash.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace z6 {

Flash::Flash() : memory_(kSize, kErasedByte) {}

void Flash::checkRange(std::uint32_t address, std::size_t length) {
    if (address > kSize || length > kSize - address) {
        throw std::out_of_range("flash access of " + std::to_string(length) + " bytes at " + std::to_string(address) +
                                " leaves the 4 MB chip");
    }
}

std::vector<std::uint8_t> Flash::read(std::uint32_t address, std::size_t length) const {
    checkRange(address, length);
    return {memory_.begin() + address, memory_.begin() + address + length};
}

void Flash::erasePage(std::uint32_t pageAddress) {
    if (pageAddress % kPageSize != 0) {
        throw std::invalid_argument("flash erase address " + std::to_string(pageAddress) + " is not page-aligned");
    }
    checkRange(pageAddress, kPageSize);
    std::fill_n(memory_.begin() + pageAddress, kPageSize, kErasedByte);
    ++changes_;
}

void Flash::eraseAll() {
    std::fill(memory_.begin(), memory_.end(), kErasedByte);
    ++changes_;
}

void Flash::program(std::uint32_t address, std::span<const std::uint8_t> data) {
    checkRange(address, data.size());
    for (std::size_t i = 0; i < data.size(); ++i) memory_[address + i] &= data[i];
    ++changes_;
}

void Flash::load(std::span<const std::uint8_t> image) {
    if (image.size() != kSize) {
        throw std::invalid_argument("flash image is " + std::to_string(image.size()) + " bytes, expected " +
                                    std::to_string(kSize));
    }
    std::copy(image.begin(), image.end(), memory_.begin());
    ++changes_;
}

}  // namespace z6
