// The Z6's Modbus registers, built from a table of blocks. Each block is a
// value (a 16- or 32-bit number, a float or a run of bytes) stored most
// significant byte first, or an action run by a handler when the block is
// read or written.
//
// Reads and writes see separate views: a read-only block may lie over
// write-only ones (the flash data block covers the erase command), but two
// readable or two writable blocks never overlap.
#pragma once

#include "z6/device_errors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace z6 {

enum class ValueType : std::uint8_t { U16, U32, F32, Bytes };
enum class Access : std::uint8_t { Read, Write, ReadWrite };
enum class Persistence : std::uint8_t { Volatile, Persistent };  // kept by saveState

struct RegisterDefinition {
    std::uint16_t address;
    std::uint16_t minWords;  // below maxWords only for variable-length byte blocks
    std::uint16_t maxWords;
    ValueType type;
    Access access;
    Persistence persistence;
    std::string_view name;
};

// Table entries, one line per block.
constexpr RegisterDefinition u16Register(std::uint16_t address, Access access, Persistence persistence,
                                         std::string_view name) {
    return {address, 1, 1, ValueType::U16, access, persistence, name};
}
constexpr RegisterDefinition u32Register(std::uint16_t address, Access access, Persistence persistence,
                                         std::string_view name) {
    return {address, 2, 2, ValueType::U32, access, persistence, name};
}
constexpr RegisterDefinition f32Register(std::uint16_t address, Access access, Persistence persistence,
                                         std::string_view name) {
    return {address, 2, 2, ValueType::F32, access, persistence, name};
}
constexpr RegisterDefinition byteRegisters(std::uint16_t address, std::uint16_t minWords, std::uint16_t maxWords,
                                           Access access, Persistence persistence, std::string_view name) {
    return {address, minWords, maxWords, ValueType::Bytes, access, persistence, name};
}

// What is wrong with a requested register range, checked before anything runs.
enum class RangeCheck : std::uint8_t {
    Ok,
    NotMapped,    // a register is unknown, or not readable / writable as asked
    SplitsBlock,  // a write covers part of a block (or too little of a variable one)
};

class RegisterMap {
public:
    // block: the whole block (maxWords * 2 bytes) to fill.
    using ReadHandler = std::function<DeviceError(std::span<std::uint8_t> block)>;
    // data: the bytes written, from the block's start.
    using WriteHandler = std::function<DeviceError(std::span<const std::uint8_t> data)>;

    // Throws std::invalid_argument for a malformed table (overlaps, bad sizes).
    explicit RegisterMap(std::span<const RegisterDefinition> definitions);

    // Runs handler instead of the stored value for the block at address.
    void onRead(std::uint16_t address, ReadHandler handler);
    void onWrite(std::uint16_t address, WriteHandler handler);

    // count registers from address (address + count <= 65536). Reads may
    // cover any part of blocks; writes must start each block at its start.
    RangeCheck checkRead(std::uint16_t address, std::uint16_t count) const;
    RangeCheck checkWrite(std::uint16_t address, std::uint16_t count) const;

    // Run a checked range (std::logic_error for an unchecked one). A read
    // fills out (count * 2 bytes); a write takes data of count * 2 bytes.
    // Blocks run in order; the first failing handler stops the rest.
    DeviceError read(std::uint16_t address, std::uint16_t count, std::span<std::uint8_t> out);
    DeviceError write(std::uint16_t address, std::span<const std::uint8_t> data);

    // Stored values of the block starting at address, bypassing access rules
    // and handlers. The typed forms throw std::logic_error on a type mismatch.
    std::uint16_t getU16(std::uint16_t address) const;
    std::uint32_t getU32(std::uint16_t address) const;
    float getF32(std::uint16_t address) const;
    std::vector<std::uint8_t> raw(std::uint16_t address) const;
    void setU16(std::uint16_t address, std::uint16_t value);
    void setU32(std::uint16_t address, std::uint32_t value);
    void setF32(std::uint16_t address, float value);
    void setRaw(std::uint16_t address, std::span<const std::uint8_t> bytes);  // exactly the block's size

    std::vector<RegisterDefinition> definitions() const;

    // Counts writes through write() to persistent blocks: a change of the
    // settings the device keeps across power cycles.
    std::uint64_t persistentWrites() const { return persistentWrites_; }

private:
    struct Block {
        RegisterDefinition definition;
        std::vector<std::uint8_t> value;  // maxWords * 2 bytes
        ReadHandler readHandler;
        WriteHandler writeHandler;
        std::uint32_t end() const { return std::uint32_t{definition.address} + definition.maxWords; }
    };
    using View = std::vector<std::size_t>;  // indexes into blocks_, sorted by address

    static constexpr std::size_t kNoBlock = static_cast<std::size_t>(-1);
    // Index of the block in view that holds address, or kNoBlock.
    std::size_t containing(const View& view, std::uint32_t address) const;
    const Block& at(std::uint16_t address) const;  // the block starting at address
    Block& at(std::uint16_t address);
    std::uint8_t* typed(std::uint16_t address, ValueType type);
    const std::uint8_t* typed(std::uint16_t address, ValueType type) const;

    std::vector<Block> blocks_;  // sorted by address
    View readable_;
    View writable_;
    std::uint64_t persistentWrites_ = 0;
};

}  // namespace z6
