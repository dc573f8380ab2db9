#include "z6/device_connection.h"

#include "z6/byte_order.h"
#include "z6/modbus_codec.h"

#include "z6_wire.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace z6 {

namespace {

modbus::Header headerOf(const std::uint8_t* message) {
    return {loadU16(message), message[6], message[7]};
}

}  // namespace

DeviceConnection::DeviceConnection(Z6Model& model) : model_(model), boot_(model.boots()) {}

std::vector<std::uint8_t> DeviceConnection::handle(const std::uint8_t* message, std::size_t length) {
    if (!model_.available() || !alive()) return {};
    if (length >= z6wire::kHeaderSize && message[7] == z6wire::kStreamControl) return streamControl(message, length);
    return model_.handleRequest(message, length);
}

std::vector<std::uint8_t> DeviceConnection::streamControl(const std::uint8_t* message, std::size_t length) {
    const modbus::Header header = headerOf(message);
    const auto refuse = [&](modbus::Exception exception, DeviceError error) {
        return modbus::encodeException(header, exception, error);
    };
    if (z6wire::messageLength(message) != length || length < z6wire::kHeaderSize + 1)
        return refuse(modbus::Exception::IllegalDataValue, DeviceError::None);

    const std::uint8_t* data = message + z6wire::kHeaderSize;
    const std::size_t dataLength = length - z6wire::kHeaderSize;
    const std::uint8_t action = data[0];
    if (action == z6wire::kStreamStop) {
        streaming_ = false;
    } else if (action == z6wire::kStreamStart) {
        if (streaming_) return refuse(modbus::Exception::ServerDeviceFailure, DeviceError::StreamAlreadyRunning);
        if (dataLength < 7) return refuse(modbus::Exception::IllegalDataValue, DeviceError::StreamSettingsInvalid);
        const double rate = loadF32(data + 1);
        const std::size_t count = loadU16(data + 5);
        if (!(rate > 0.0 && rate <= kMaxScanRate) || count == 0 || count > kMaxAddresses || dataLength != 7 + 2 * count)
            return refuse(modbus::Exception::IllegalDataValue, DeviceError::StreamSettingsInvalid);
        std::vector<std::uint16_t> addresses;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint16_t address = loadU16(data + 7 + 2 * i);
            if (model_.registers().checkRead(address, 2) != RangeCheck::Ok)
                return refuse(modbus::Exception::IllegalDataAddress, DeviceError::None);
            addresses.push_back(address);
        }
        streaming_ = true;
        scanRate_ = rate;
        addresses_ = std::move(addresses);
        startTick_ = model_.clock().tickCount();
        scansSent_ = 0;
    } else {
        return refuse(modbus::Exception::IllegalDataValue, DeviceError::None);
    }

    std::vector<std::uint8_t> reply(z6wire::kHeaderSize + 5);
    storeU16(reply.data(), header.transactionId);
    storeU16(reply.data() + 4, static_cast<std::uint16_t>(reply.size() - z6wire::kPrefixSize));
    reply[6] = header.unitId;
    reply[7] = z6wire::kStreamControl;
    reply[8] = action;
    storeF32(reply.data() + 9, static_cast<float>(scanRate_));
    return reply;
}

std::uint64_t DeviceConnection::scansDueBy(std::uint32_t elapsedMs) const {
    return static_cast<std::uint64_t>(std::floor(elapsedMs * scanRate_ / 1000.0));
}

float DeviceConnection::sample(std::uint16_t address) {
    std::uint8_t bytes[4] = {};
    if (model_.registers().read(address, 2, bytes) != DeviceError::None) return std::nanf("");
    return loadF32(bytes);
}

std::vector<std::vector<std::uint8_t>> DeviceConnection::takeDue() {
    std::vector<std::vector<std::uint8_t>> frames;
    if (!streaming_ || !alive()) return frames;
    const std::uint64_t due = scansDueBy(model_.clock().tickCount() - startTick_);
    const std::size_t perScan = addresses_.size();
    while (scansSent_ < due) {
        const auto scans = static_cast<std::uint16_t>(std::min<std::uint64_t>(due - scansSent_, kMaxScansPerFrame));
        std::vector<std::uint8_t> frame(z6wire::kHeaderSize + z6wire::kStreamDataHeader + 4u * scans * perScan);
        storeU16(frame.data() + 4, static_cast<std::uint16_t>(frame.size() - z6wire::kPrefixSize));
        frame[7] = z6wire::kStreamData;
        std::uint8_t* out = frame.data() + z6wire::kHeaderSize;
        storeU32(out, static_cast<std::uint32_t>(scansSent_));
        storeU16(out + 4, scans);
        storeU16(out + 6, static_cast<std::uint16_t>(perScan));
        out += z6wire::kStreamDataHeader;
        for (std::uint16_t s = 0; s < scans; ++s) {
            for (std::uint16_t address : addresses_) {
                storeF32(out, sample(address));
                out += 4;
            }
        }
        scansSent_ += scans;
        frames.push_back(std::move(frame));
    }
    return frames;
}

int DeviceConnection::msUntilDue() const {
    if (!streaming_) return -1;
    // Data goes out in batches of about kFrameMs worth of scans.
    const std::uint64_t batch = std::max<std::uint64_t>(1, scansDueBy(kFrameMs));
    const double nextScanMs = static_cast<double>(scansSent_ + batch) * 1000.0 / scanRate_;
    const std::uint32_t elapsed = model_.clock().tickCount() - startTick_;
    const double wait = std::ceil(nextScanMs) - elapsed;
    return wait <= 0 ? 0 : static_cast<int>(wait);
}

}  // namespace z6
