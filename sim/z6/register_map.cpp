#include "z6/register_map.h"

#include "z6/byte_order.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace z6 {

namespace {

constexpr std::uint32_t kAddressSpace = 0x10000;

std::string describe(const RegisterDefinition& d) {
    return "register " + std::to_string(d.address) + " (" + std::string(d.name) + ")";
}

std::string_view typeName(ValueType type) {
    switch (type) {
        case ValueType::U16: return "U16";
        case ValueType::U32: return "U32";
        case ValueType::F32: return "F32";
        case ValueType::Bytes: return "bytes";
    }
    return "?";
}

void checkDefinition(const RegisterDefinition& d) {
    const std::uint16_t typedWords = d.type == ValueType::U16 ? 1 : d.type == ValueType::Bytes ? 0 : 2;
    const bool sizeOk = d.minWords >= 1 && d.minWords <= d.maxWords &&
                        std::uint32_t{d.address} + d.maxWords <= kAddressSpace &&
                        (typedWords == 0 || (d.minWords == typedWords && d.maxWords == typedWords));
    if (!sizeOk) throw std::invalid_argument(describe(d) + ": size does not fit its type or the address space");
}

bool readable(Access access) { return access != Access::Write; }
bool writable(Access access) { return access != Access::Read; }

}  // namespace

RegisterMap::RegisterMap(std::span<const RegisterDefinition> definitions) {
    for (const RegisterDefinition& d : definitions) {
        checkDefinition(d);
        blocks_.push_back(Block{d, std::vector<std::uint8_t>(std::size_t{d.maxWords} * 2, 0), {}, {}});
    }
    std::sort(blocks_.begin(), blocks_.end(),
              [](const Block& a, const Block& b) { return a.definition.address < b.definition.address; });
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        if (i > 0 && blocks_[i].definition.address == blocks_[i - 1].definition.address) {
            throw std::invalid_argument(describe(blocks_[i].definition) + " starts where " +
                                        describe(blocks_[i - 1].definition) + " starts");
        }
        if (readable(blocks_[i].definition.access)) readable_.push_back(i);
        if (writable(blocks_[i].definition.access)) writable_.push_back(i);
    }
    for (const View* view : {&readable_, &writable_}) {
        for (std::size_t i = 1; i < view->size(); ++i) {
            const Block& before = blocks_[(*view)[i - 1]];
            const Block& block = blocks_[(*view)[i]];
            if (block.definition.address < before.end()) {
                throw std::invalid_argument(describe(block.definition) + " overlaps " + describe(before.definition));
            }
        }
    }
}

void RegisterMap::onRead(std::uint16_t address, ReadHandler handler) { at(address).readHandler = std::move(handler); }

void RegisterMap::onWrite(std::uint16_t address, WriteHandler handler) {
    at(address).writeHandler = std::move(handler);
}

std::size_t RegisterMap::containing(const View& view, std::uint32_t address) const {
    const auto after = std::upper_bound(view.begin(), view.end(), address, [this](std::uint32_t a, std::size_t i) {
        return a < blocks_[i].definition.address;
    });
    if (after == view.begin()) return kNoBlock;
    const std::size_t index = *std::prev(after);
    return address < blocks_[index].end() ? index : kNoBlock;
}

RangeCheck RegisterMap::checkRead(std::uint16_t address, std::uint16_t count) const {
    const std::uint32_t end = std::uint32_t{address} + count;
    if (count == 0 || end > kAddressSpace) return RangeCheck::NotMapped;
    for (std::uint32_t at = address; at < end;) {
        const std::size_t index = containing(readable_, at);
        if (index == kNoBlock) return RangeCheck::NotMapped;
        at = blocks_[index].end();
    }
    return RangeCheck::Ok;
}

RangeCheck RegisterMap::checkWrite(std::uint16_t address, std::uint16_t count) const {
    const std::uint32_t end = std::uint32_t{address} + count;
    if (count == 0 || end > kAddressSpace) return RangeCheck::NotMapped;
    for (std::uint32_t at = address; at < end;) {
        const std::size_t index = containing(writable_, at);
        if (index == kNoBlock) return RangeCheck::NotMapped;
        const RegisterDefinition& d = blocks_[index].definition;
        const std::uint32_t remaining = end - at;
        if (at != d.address || remaining < d.minWords) return RangeCheck::SplitsBlock;
        at += std::min<std::uint32_t>(remaining, d.maxWords);
    }
    return RangeCheck::Ok;
}

DeviceError RegisterMap::read(std::uint16_t address, std::uint16_t count, std::span<std::uint8_t> out) {
    if (checkRead(address, count) != RangeCheck::Ok || out.size() != std::size_t{count} * 2) {
        throw std::logic_error("register read of " + std::to_string(count) + " at " + std::to_string(address) +
                               " was not checked");
    }
    const std::uint32_t end = std::uint32_t{address} + count;
    std::vector<std::uint8_t> handled;
    for (std::uint32_t at = address; at < end;) {
        const Block& block = blocks_[containing(readable_, at)];
        std::span<const std::uint8_t> source = block.value;
        if (block.readHandler) {
            handled.assign(block.value.size(), 0);
            if (const DeviceError error = block.readHandler(handled); error != DeviceError::None) return error;
            source = handled;
        }
        const std::uint32_t stop = std::min(end, block.end());
        const std::size_t from = (at - block.definition.address) * 2;
        const std::size_t length = (stop - at) * 2;
        std::copy_n(source.begin() + static_cast<std::ptrdiff_t>(from), length,
                    out.begin() + static_cast<std::ptrdiff_t>((at - address) * 2));
        at = stop;
    }
    return DeviceError::None;
}

DeviceError RegisterMap::write(std::uint16_t address, std::span<const std::uint8_t> data) {
    const std::size_t count = data.size() / 2;
    if (data.size() % 2 != 0 || count > 0xFFFF || checkWrite(address, static_cast<std::uint16_t>(count)) != RangeCheck::Ok) {
        throw std::logic_error("register write of " + std::to_string(data.size()) + " bytes at " +
                               std::to_string(address) + " was not checked");
    }
    const std::uint32_t end = std::uint32_t{address} + static_cast<std::uint32_t>(count);
    for (std::uint32_t at = address; at < end;) {
        Block& block = blocks_[containing(writable_, at)];
        const std::uint32_t words = std::min<std::uint32_t>(end - at, block.definition.maxWords);
        const std::span<const std::uint8_t> piece = data.subspan((at - address) * 2, std::size_t{words} * 2);
        if (block.writeHandler) {
            if (const DeviceError error = block.writeHandler(piece); error != DeviceError::None) return error;
        } else {
            std::copy(piece.begin(), piece.end(), block.value.begin());
        }
        if (block.definition.persistence == Persistence::Persistent) ++persistentWrites_;
        at += words;
    }
    return DeviceError::None;
}

const RegisterMap::Block& RegisterMap::at(std::uint16_t address) const {
    const auto found = std::lower_bound(blocks_.begin(), blocks_.end(), address,
                                        [](const Block& b, std::uint16_t a) { return b.definition.address < a; });
    if (found == blocks_.end() || found->definition.address != address) {
        throw std::logic_error("no register block starts at " + std::to_string(address));
    }
    return *found;
}

RegisterMap::Block& RegisterMap::at(std::uint16_t address) {
    return const_cast<Block&>(static_cast<const RegisterMap*>(this)->at(address));
}

const std::uint8_t* RegisterMap::typed(std::uint16_t address, ValueType type) const {
    const Block& block = at(address);
    if (block.definition.type != type) {
        throw std::logic_error(describe(block.definition) + " holds " + std::string(typeName(block.definition.type)) +
                               ", not " + std::string(typeName(type)));
    }
    return block.value.data();
}

std::uint8_t* RegisterMap::typed(std::uint16_t address, ValueType type) {
    return const_cast<std::uint8_t*>(static_cast<const RegisterMap*>(this)->typed(address, type));
}

std::uint16_t RegisterMap::getU16(std::uint16_t address) const { return loadU16(typed(address, ValueType::U16)); }
std::uint32_t RegisterMap::getU32(std::uint16_t address) const { return loadU32(typed(address, ValueType::U32)); }
float RegisterMap::getF32(std::uint16_t address) const { return loadF32(typed(address, ValueType::F32)); }
void RegisterMap::setU16(std::uint16_t address, std::uint16_t value) { storeU16(typed(address, ValueType::U16), value); }
void RegisterMap::setU32(std::uint16_t address, std::uint32_t value) { storeU32(typed(address, ValueType::U32), value); }
void RegisterMap::setF32(std::uint16_t address, float value) { storeF32(typed(address, ValueType::F32), value); }

std::vector<std::uint8_t> RegisterMap::raw(std::uint16_t address) const { return at(address).value; }

void RegisterMap::setRaw(std::uint16_t address, std::span<const std::uint8_t> bytes) {
    Block& block = at(address);
    if (bytes.size() != block.value.size()) {
        throw std::invalid_argument(describe(block.definition) + " holds " + std::to_string(block.value.size()) +
                                    " bytes, not " + std::to_string(bytes.size()));
    }
    std::copy(bytes.begin(), bytes.end(), block.value.begin());
}

std::vector<RegisterDefinition> RegisterMap::definitions() const {
    std::vector<RegisterDefinition> result;
    result.reserve(blocks_.size());
    for (const Block& block : blocks_) result.push_back(block.definition);
    return result;
}

}  // namespace z6
