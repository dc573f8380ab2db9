#include "z6/modbus_server.h"

#include "z6/modbus_codec.h"

namespace z6 {

std::vector<std::uint8_t> ModbusServer::handleRequest(const std::uint8_t* request, std::size_t length) {
    using modbus::Exception;
    const modbus::Request decoded = modbus::decodeRequest(request, length);
    if (decoded.rejected) return modbus::encodeException(decoded.header, *decoded.rejected);

    for (const modbus::RegisterAccess& access : decoded.accesses) {
        const RangeCheck check = access.write ? registers_.checkWrite(access.address, access.count)
                                              : registers_.checkRead(access.address, access.count);
        if (check == RangeCheck::NotMapped) return modbus::encodeException(decoded.header, Exception::IllegalDataAddress);
        if (check == RangeCheck::SplitsBlock) return modbus::encodeException(decoded.header, Exception::IllegalDataValue);
    }

    std::vector<std::uint8_t> readData;
    for (const modbus::RegisterAccess& access : decoded.accesses) {
        DeviceError error = DeviceError::None;
        if (access.write) {
            error = registers_.write(access.address, access.data);
        } else {
            const std::size_t at = readData.size();
            readData.resize(at + std::size_t{access.count} * 2);
            error = registers_.read(access.address, access.count, std::span(readData).subspan(at));
        }
        if (error != DeviceError::None) {
            return modbus::encodeException(decoded.header, Exception::ServerDeviceFailure, error);
        }
    }
    return modbus::encodeReply(decoded, readData);
}

}  // namespace z6
