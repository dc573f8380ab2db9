#include "z6/modbus_codec.h"

#include "z6_wire.h"

#include "z6/byte_order.h"

namespace z6::modbus {

namespace {

constexpr std::uint32_t kAddressSpace = 0x10000;
constexpr std::size_t kMaxMbapLength = 0xFFFF;  // a 16-bit field: unit id + PDU
constexpr std::uint16_t kMaxReadCount = 125;
constexpr std::uint16_t kMaxWriteCount = 123;
constexpr std::size_t kFrameHeaderSize = 4;  // kind, address (2), count
constexpr std::uint8_t kFrameRead = 0;
constexpr std::uint8_t kFrameWrite = 1;

bool runsPastAddressSpace(std::uint16_t address, std::uint16_t count) {
    return std::uint32_t{address} + count > kAddressSpace;
}

// Function 3: address, count.
std::optional<Exception> decodeReadHolding(std::span<const std::uint8_t> data, Request& request) {
    if (data.size() != 4) return Exception::IllegalDataValue;
    const std::uint16_t address = loadU16(&data[0]);
    const std::uint16_t count = loadU16(&data[2]);
    if (count < 1 || count > kMaxReadCount) return Exception::IllegalDataValue;
    if (runsPastAddressSpace(address, count)) return Exception::IllegalDataAddress;
    request.accesses.push_back({false, address, count, {}});
    return std::nullopt;
}

// Function 16: address, count, byte count, data.
std::optional<Exception> decodeWriteMultiple(std::span<const std::uint8_t> data, Request& request) {
    if (data.size() < 5) return Exception::IllegalDataValue;
    const std::uint16_t address = loadU16(&data[0]);
    const std::uint16_t count = loadU16(&data[2]);
    const std::size_t byteCount = data[4];
    if (count < 1 || count > kMaxWriteCount || byteCount != std::size_t{count} * 2 || data.size() != 5 + byteCount) {
        return Exception::IllegalDataValue;
    }
    if (runsPastAddressSpace(address, count)) return Exception::IllegalDataAddress;
    request.accesses.push_back({true, address, count, data.subspan(5)});
    return std::nullopt;
}

// Function 76: frames of kind, address, count (+ count * 2 bytes for a write)
// up to the end of the request.
std::optional<Exception> decodeFeedback(std::span<const std::uint8_t> data, Request& request) {
    std::size_t replyLength = 2;  // unit id + function code
    for (std::size_t at = 0; at < data.size();) {
        if (data.size() - at < kFrameHeaderSize) return Exception::IllegalDataValue;
        const std::uint8_t kind = data[at];
        const std::uint16_t address = loadU16(&data[at + 1]);
        const std::uint8_t count = data[at + 3];
        at += kFrameHeaderSize;
        if ((kind != kFrameRead && kind != kFrameWrite) || count == 0) return Exception::IllegalDataValue;
        if (runsPastAddressSpace(address, count)) return Exception::IllegalDataAddress;
        RegisterAccess access{kind == kFrameWrite, address, count, {}};
        const std::size_t bytes = std::size_t{count} * 2;
        if (access.write) {
            if (data.size() - at < bytes) return Exception::IllegalDataValue;
            access.data = data.subspan(at, bytes);
            at += bytes;
        } else {
            replyLength += bytes;
        }
        request.accesses.push_back(access);
    }
    // The reply must fit the 16-bit length field.
    if (replyLength > kMaxMbapLength) return Exception::IllegalDataValue;
    return std::nullopt;
}

std::vector<std::uint8_t> startAdu(const Header& header, std::uint8_t function, std::size_t pduLength) {
    std::vector<std::uint8_t> adu(kHeaderSize);
    storeU16(&adu[0], header.transactionId);
    storeU16(&adu[2], 0);
    storeU16(&adu[4], static_cast<std::uint16_t>(1 + pduLength));
    adu[6] = header.unitId;
    adu[7] = function;
    adu.reserve(kHeaderSize + pduLength - 1);
    return adu;
}

}  // namespace

Request decodeRequest(const std::uint8_t* bytes, std::size_t length) {
    Request request;
    if (bytes == nullptr) length = 0;
    if (length >= 2) request.header.transactionId = loadU16(bytes);
    if (length >= 7) request.header.unitId = bytes[6];
    if (length < kHeaderSize) {
        request.rejected = Exception::IllegalDataValue;
        return request;
    }
    request.header.function = bytes[7];
    if (loadU16(bytes + 2) != 0 || loadU16(bytes + 4) != length - 6) {
        request.rejected = Exception::IllegalDataValue;
        return request;
    }
    const std::span<const std::uint8_t> data(bytes + kHeaderSize, length - kHeaderSize);
    switch (request.header.function) {
        case kReadHoldingRegisters: request.rejected = decodeReadHolding(data, request); break;
        case kWriteMultipleRegisters: request.rejected = decodeWriteMultiple(data, request); break;
        case kFeedback: request.rejected = decodeFeedback(data, request); break;
        default: request.rejected = Exception::IllegalFunction; break;
    }
    if (request.rejected) request.accesses.clear();
    return request;
}

std::vector<std::uint8_t> encodeReply(const Request& request, std::span<const std::uint8_t> readData) {
    const Header& header = request.header;
    switch (header.function) {
        case kReadHoldingRegisters: {
            std::vector<std::uint8_t> adu = startAdu(header, header.function, 1 + 1 + readData.size());
            adu.push_back(static_cast<std::uint8_t>(readData.size()));
            adu.insert(adu.end(), readData.begin(), readData.end());
            return adu;
        }
        case kWriteMultipleRegisters: {
            std::vector<std::uint8_t> adu = startAdu(header, header.function, 1 + 4);
            const RegisterAccess& write = request.accesses.at(0);
            adu.resize(kHeaderSize + 4);
            storeU16(&adu[kHeaderSize], write.address);
            storeU16(&adu[kHeaderSize + 2], write.count);
            return adu;
        }
        default: {
            std::vector<std::uint8_t> adu = startAdu(header, header.function, 1 + readData.size());
            adu.insert(adu.end(), readData.begin(), readData.end());
            return adu;
        }
    }
}

std::vector<std::uint8_t> encodeException(const Header& header, Exception exception, DeviceError deviceError) {
    const bool withDeviceError = header.function == kFeedback || header.function == z6wire::kStreamControl;
    std::vector<std::uint8_t> adu =
        startAdu(header, static_cast<std::uint8_t>(header.function | 0x80), withDeviceError ? 4 : 2);
    adu.push_back(static_cast<std::uint8_t>(exception));
    if (withDeviceError) {
        adu.resize(adu.size() + 2);
        storeU16(&adu[adu.size() - 2], static_cast<std::uint16_t>(deviceError));
    }
    return adu;
}

}  // namespace z6::modbus
