// Modbus-feedback transactions: any number of register reads and writes
// sent to the device in one request (function 76) and answered at once.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::int32_t kMbfbRead = 1;
constexpr std::int32_t kMbfbWrite = 2;

// How an operation's data is laid out.
enum MbfbDataType : std::int32_t {
    kMbfbBytes = 0,  // raw bytes, in order
    kMbfbU16 = 1,    // 16-bit values, one register each
    kMbfbU32 = 2,    // 32-bit values, two registers each
    kMbfbF32 = 3,    // 32-bit floats, two registers each
    kMbfbNoData = 4,
};

constexpr std::size_t kMbfbDataSize = 2048;
constexpr std::size_t kMbfbBufferSize = 1536;

// One read or write of consecutive 16-bit registers. The views normally point
// at data, so a float read stored through u32View is seen through f32View.
// Values go through the views with memcpy, never by type-punned loads.
struct MbfbOperation {
    std::int32_t direction = 0;
    std::int32_t address = 0;        // low 16 bits go on the wire
    std::int32_t registerCount = 0;  // 0 to 255
    std::int32_t dataType = 0;
    alignas(8) std::uint8_t data[kMbfbDataSize] = {};
    std::uint16_t* u16View = nullptr;
    std::uint32_t* u32View = nullptr;
    float* f32View = nullptr;

    // All views null: the caller fills every field.
    MbfbOperation() = default;
    // A write of one value, stored at the start of data according to dataType.
    MbfbOperation(std::int32_t address, std::int32_t registerCount, std::int32_t dataType, double value);
    // A write of 2 x registerCount raw bytes.
    MbfbOperation(std::int32_t address, std::int32_t registerCount, const std::uint8_t* bytes);
    // A read into data.
    static MbfbOperation read(std::int32_t address, std::int32_t registerCount, std::int32_t dataType);

    // Copies keep views that pointed at the source's data pointing at their own.
    MbfbOperation(const MbfbOperation& other);
    MbfbOperation& operator=(const MbfbOperation& other);

    // Re-aims this operation as a write of one value (used inside loops).
    void setValue(std::int32_t address, std::int32_t registerCount, std::int32_t dataType, double value);
    void pointViewsAtData();

    // Typed access to the data area.
    std::uint16_t u16(std::size_t index = 0) const;
    std::uint32_t u32(std::size_t index = 0) const;
    float f32(std::size_t index = 0) const;
};

// Sends count operations in one request through the device library and, on
// success, stores every read's values. Returns 0, the library's error code
// unchanged (reads then keep what they held), or a device:: refusal code.
std::int32_t mbfbTransact(std::int32_t handle, std::int32_t count, MbfbOperation* operations);

// Whole-number conversions that never overflow: the value truncated toward
// zero and reduced to the target's width; NaN and values beyond 64 bits give 0.
std::uint32_t truncateToU32(double value);
