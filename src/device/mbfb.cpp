#include "device/mbfb.h"

#include "device/device_codes.h"

#include "DaqoraM.h"

#include <cstring>

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kFrameSize = 4;
constexpr std::uint8_t kFeedbackFunction = 76;
constexpr std::int32_t kMaxRegisterCount = 255;  // one byte on the wire

std::int64_t truncateToI64(double value) {
    // Outside this range (and for NaN) the conversion would be undefined.
    if (!(value > -9.2e18 && value < 9.2e18)) return 0;
    return static_cast<std::int64_t>(value);
}

void putU16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value);
}

void putU32(std::uint8_t* out, std::uint32_t value) {
    putU16(out, static_cast<std::uint16_t>(value >> 16));
    putU16(out + 2, static_cast<std::uint16_t>(value));
}

std::uint16_t getU16(const std::uint8_t* in) { return static_cast<std::uint16_t>((in[0] << 8) | in[1]); }

std::uint32_t getU32(const std::uint8_t* in) {
    return (static_cast<std::uint32_t>(getU16(in)) << 16) | getU16(in + 2);
}

bool knownDataType(std::int32_t dataType) { return dataType >= kMbfbBytes && dataType <= kMbfbNoData; }

// Refuses what the wire cannot carry or what would garble the frames after
// it: an unknown direction, a write of unknown layout, a count beyond one
// byte, a value view that is not set.
bool sendable(const MbfbOperation& op) {
    if (op.direction != kMbfbRead && op.direction != kMbfbWrite) return false;
    if (op.registerCount < 0 || op.registerCount > kMaxRegisterCount) return false;
    if (op.direction == kMbfbWrite && !knownDataType(op.dataType)) return false;
    // Reads of floats are stored through u32View, writes taken from f32View.
    const bool writesFloats = op.dataType == kMbfbF32 && op.direction == kMbfbWrite;
    if (op.dataType == kMbfbU16 && !op.u16View) return false;
    if ((op.dataType == kMbfbU32 || op.dataType == kMbfbF32) && !writesFloats && !op.u32View) return false;
    if (writesFloats && !op.f32View) return false;
    return true;
}

void encodeWriteData(const MbfbOperation& op, std::uint8_t* out) {
    const std::size_t values32 = static_cast<std::size_t>(op.registerCount) / 2;
    switch (op.dataType) {
        case kMbfbBytes:
            std::memcpy(out, op.data, 2u * static_cast<std::size_t>(op.registerCount));
            break;
        case kMbfbU16:
            for (std::int32_t i = 0; i < op.registerCount; ++i) {
                std::uint16_t value;
                std::memcpy(&value, op.u16View + i, sizeof value);
                putU16(out + 2 * i, value);
            }
            break;
        case kMbfbU32:
        case kMbfbF32: {
            // Floats go as their bit patterns, taken from f32View.
            const void* values = op.dataType == kMbfbU32 ? static_cast<const void*>(op.u32View)
                                                         : static_cast<const void*>(op.f32View);
            for (std::size_t k = 0; k < values32; ++k) {
                std::uint32_t bits;
                std::memcpy(&bits, static_cast<const std::uint8_t*>(values) + 4 * k, sizeof bits);
                putU32(out + 4 * k, bits);
            }
            break;
        }
        default:  // no data: the bytes stay zero
            break;
    }
}

// Stores one read's reply bytes (2 x registerCount of them) in its storage.
// 32-bit values are stored whole; an odd last register is not a value.
void decodeReadData(MbfbOperation& op, const std::uint8_t* in) {
    switch (op.dataType) {
        case kMbfbBytes:
            std::memcpy(op.data, in, 2u * static_cast<std::size_t>(op.registerCount));
            break;
        case kMbfbU16:
            for (std::int32_t i = 0; i < op.registerCount; ++i) {
                const std::uint16_t value = getU16(in + 2 * i);
                std::memcpy(op.u16View + i, &value, sizeof value);
            }
            break;
        case kMbfbU32:
        case kMbfbF32:
            for (std::int32_t k = 0; k + 1 < op.registerCount; k += 2) {
                const std::uint32_t value = getU32(in + 2 * k);
                std::memcpy(op.u32View + k / 2, &value, sizeof value);
            }
            break;
        default:  // nothing to store
            break;
    }
}

}  // namespace

std::uint32_t truncateToU32(double value) {
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(truncateToI64(value)));
}

MbfbOperation::MbfbOperation(std::int32_t address, std::int32_t registerCount, std::int32_t dataType, double value) {
    setValue(address, registerCount, dataType, value);
}

MbfbOperation::MbfbOperation(std::int32_t address, std::int32_t registerCount, const std::uint8_t* bytes)
    : direction(kMbfbWrite), address(address), registerCount(registerCount), dataType(kMbfbBytes) {
    pointViewsAtData();
    if (bytes && registerCount > 0) {
        std::size_t length = 2u * static_cast<std::size_t>(registerCount);
        if (length > sizeof data) length = sizeof data;
        std::memcpy(data, bytes, length);
    }
}

MbfbOperation MbfbOperation::read(std::int32_t address, std::int32_t registerCount, std::int32_t dataType) {
    MbfbOperation op;
    op.direction = kMbfbRead;
    op.address = address;
    op.registerCount = registerCount;
    op.dataType = dataType;
    op.pointViewsAtData();
    return op;
}

MbfbOperation::MbfbOperation(const MbfbOperation& other) { *this = other; }

MbfbOperation& MbfbOperation::operator=(const MbfbOperation& other) {
    if (this == &other) return *this;
    direction = other.direction;
    address = other.address;
    registerCount = other.registerCount;
    dataType = other.dataType;
    std::memcpy(data, other.data, sizeof data);
    const auto aim = [&](auto* view) -> decltype(view) {
        const auto* base = reinterpret_cast<const std::uint8_t*>(view);
        if (base >= other.data && base < other.data + sizeof other.data)
            return reinterpret_cast<decltype(view)>(data + (base - other.data));
        return view;
    };
    u16View = aim(other.u16View);
    u32View = aim(other.u32View);
    f32View = aim(other.f32View);
    return *this;
}

void MbfbOperation::pointViewsAtData() {
    u16View = reinterpret_cast<std::uint16_t*>(data);
    u32View = reinterpret_cast<std::uint32_t*>(data);
    f32View = reinterpret_cast<float*>(data);
}

void MbfbOperation::setValue(std::int32_t newAddress, std::int32_t newRegisterCount, std::int32_t newDataType,
                             double value) {
    direction = kMbfbWrite;
    address = newAddress;
    registerCount = newRegisterCount;
    dataType = newDataType;
    pointViewsAtData();
    switch (dataType) {
        case kMbfbBytes:
            data[0] = static_cast<std::uint8_t>(truncateToI64(value));
            break;
        case kMbfbU16: {
            const auto v = static_cast<std::uint16_t>(truncateToI64(value));
            std::memcpy(data, &v, sizeof v);
            break;
        }
        case kMbfbU32: {
            const std::uint32_t v = truncateToU32(value);
            std::memcpy(data, &v, sizeof v);
            break;
        }
        case kMbfbF32: {
            const auto v = static_cast<float>(value);
            std::memcpy(data, &v, sizeof v);
            break;
        }
        default:
            break;
    }
}

std::uint16_t MbfbOperation::u16(std::size_t index) const {
    std::uint16_t value = 0;
    if (index < sizeof data / sizeof value) std::memcpy(&value, data + index * sizeof value, sizeof value);
    return value;
}

std::uint32_t MbfbOperation::u32(std::size_t index) const {
    std::uint32_t value = 0;
    if (index < sizeof data / sizeof value) std::memcpy(&value, data + index * sizeof value, sizeof value);
    return value;
}

float MbfbOperation::f32(std::size_t index) const {
    float value = 0.0f;
    if (index < sizeof data / sizeof value) std::memcpy(&value, data + index * sizeof value, sizeof value);
    return value;
}

std::int32_t mbfbTransact(std::int32_t handle, std::int32_t count, MbfbOperation* operations) {
    if (count < 0 || (count > 0 && !operations)) return device::kBadOperation;

    // Check the whole request before writing any of it.
    std::size_t requestSize = kHeaderSize;
    std::size_t replySize = kHeaderSize;
    for (std::int32_t i = 0; i < count; ++i) {
        const MbfbOperation& op = operations[i];
        if (!sendable(op)) return device::kBadOperation;
        const std::size_t dataBytes = 2u * static_cast<std::size_t>(op.registerCount);
        requestSize += kFrameSize + (op.direction == kMbfbWrite ? dataBytes : 0);
        replySize += op.direction == kMbfbRead ? dataBytes : 0;
        if (requestSize > kMbfbBufferSize || replySize > kMbfbBufferSize) return device::kRequestTooLarge;
    }

    std::uint8_t buffer[kMbfbBufferSize] = {};
    buffer[7] = kFeedbackFunction;  // transaction, protocol and unit stay 0
    std::size_t at = kHeaderSize;
    for (std::int32_t i = 0; i < count; ++i) {
        const MbfbOperation& op = operations[i];
        buffer[at] = op.direction == kMbfbWrite ? 1 : 0;
        putU16(buffer + at + 1, static_cast<std::uint16_t>(op.address));
        buffer[at + 3] = static_cast<std::uint8_t>(op.registerCount);
        at += kFrameSize;
        if (op.direction == kMbfbWrite) {
            encodeWriteData(op, buffer + at);
            at += 2u * static_cast<std::size_t>(op.registerCount);
        }
    }
    putU16(buffer + 4, static_cast<std::uint16_t>(at - 6));

    std::int32_t errorAddress = 0;
    if (const std::int32_t code = DQM_MBFBComm(handle, 0, buffer, &errorAddress)) return code;

    at = kHeaderSize;
    for (std::int32_t i = 0; i < count; ++i) {
        MbfbOperation& op = operations[i];
        if (op.direction != kMbfbRead) continue;
        decodeReadData(op, buffer + at);
        at += 2u * static_cast<std::size_t>(op.registerCount);
    }
    return 0;
}
