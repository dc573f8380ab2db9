// The DQM device library: the operations a program calls. Requests and
// replies are checked here, whatever transport carries them.
#include "DaqoraM.h"
#include "DaqoraM_transport.h"
#include "handle_table.h"
#include "mbfb_frames.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace dqm {
namespace {

constexpr double kLibraryVersion = 1.05;

// Data types of DQM_eReadAddress: how many registers and how to read them.
enum AddressType : std::int32_t { kTypeU16 = 0, kTypeU32 = 1, kTypeI32 = 2, kTypeF32 = 3 };

bool textEquals(const char* a, const char* b) { return a && std::strcmp(a, b) == 0; }

// Until real transports are attached no device can be found.
class NoDevices : public Connector {
public:
    std::int32_t open(ConnectionType, const std::string&, std::unique_ptr<Link>&) override {
        return DQM_ERR_DEVICE_NOT_FOUND;
    }
};

std::atomic<Connector*> installedConnector{nullptr};

Connector& connector() {
    static NoDevices builtIn;
    Connector* installed = installedConnector.load();
    return installed ? *installed : builtIn;
}

// Sends the request in buffer and leaves the checked reply there.
std::int32_t feedbackExchange(Link& link, std::uint8_t* buffer) {
    std::size_t requestLength = 0;
    std::size_t expectedReply = 0;
    if (std::int32_t code = measureRequest(buffer, DQM_MBFB_BUFFER_SIZE, requestLength, expectedReply))
        return code;
    std::vector<std::uint8_t> reply;
    if (std::int32_t code = link.exchange(buffer, requestLength, reply)) return code;
    if (std::int32_t code = checkReply(buffer, reply, expectedReply)) return code;
    std::memcpy(buffer, reply.data(), reply.size());
    return DQM_OK;
}

}  // namespace

Connector* setConnector(Connector* connector) { return installedConnector.exchange(connector); }

}  // namespace dqm

using dqm::handles;

extern "C" {

DQM_API int32_t DQM_OpenS(const char* deviceType, const char* connectionType, const char* identifier,
                          int32_t* handle) {
    if (!handle || !identifier) return DQM_ERR_INVALID_ARGUMENT;
    *handle = 0;
    if (!dqm::textEquals(deviceType, "DQM_dtZ6")) return DQM_ERR_UNKNOWN_DEVICE_TYPE;
    dqm::ConnectionType type;
    if (dqm::textEquals(connectionType, "DQM_ctUSB")) {
        type = dqm::ConnectionType::Usb;
    } else if (dqm::textEquals(connectionType, "DQM_ctTCP")) {
        type = dqm::ConnectionType::Tcp;
    } else {
        return DQM_ERR_UNKNOWN_CONNECTION_TYPE;
    }
    std::unique_ptr<dqm::Link> link;
    if (int32_t code = dqm::connector().open(type, identifier, link)) return code;
    if (!link) return DQM_ERR_DEVICE_NOT_FOUND;
    const int32_t opened = handles().add(std::move(link));
    if (opened == 0) return DQM_ERR_INVALID_HANDLE;
    *handle = opened;
    return DQM_OK;
}

DQM_API int32_t DQM_Close(int32_t handle) {
    return handles().remove(handle) ? DQM_OK : DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_MBFBComm(int32_t handle, uint8_t, uint8_t* buffer, int32_t* errorAddress) {
    if (errorAddress) *errorAddress = 0;
    dqm::Link* link = handles().find(handle);
    if (!link) return DQM_ERR_INVALID_HANDLE;
    if (!buffer) return DQM_ERR_INVALID_ARGUMENT;
    return dqm::feedbackExchange(*link, buffer);
}

DQM_API int32_t DQM_eReadAddress(int32_t handle, int32_t address, int32_t dataType, double* value) {
    dqm::Link* link = handles().find(handle);
    if (!link) return DQM_ERR_INVALID_HANDLE;
    if (!value || address < 0 || address > 0xFFFF) return DQM_ERR_INVALID_ARGUMENT;
    if (dataType < dqm::kTypeU16 || dataType > dqm::kTypeF32) return DQM_ERR_INVALID_ARGUMENT;
    const std::uint8_t registers = dataType == dqm::kTypeU16 ? 1 : 2;

    // One feedback read of the register, as a program would send it.
    std::uint8_t buffer[DQM_MBFB_BUFFER_SIZE] = {};
    dqm::writeU16(buffer + 4, 6);  // unit, function and one read frame
    buffer[7] = dqm::kFeedbackFunction;
    buffer[9] = static_cast<std::uint8_t>(address >> 8);
    buffer[10] = static_cast<std::uint8_t>(address);
    buffer[11] = registers;
    if (int32_t code = dqm::feedbackExchange(*link, buffer)) return code;

    const std::uint8_t* data = buffer + dqm::kHeaderSize;
    const std::uint32_t bits = registers == 1 ? dqm::readU16(data)
                                              : (static_cast<std::uint32_t>(dqm::readU16(data)) << 16) | dqm::readU16(data + 2);
    switch (dataType) {
        case dqm::kTypeI32: *value = static_cast<std::int32_t>(bits); break;
        case dqm::kTypeF32: {
            float f;
            std::memcpy(&f, &bits, sizeof f);
            *value = f;
            break;
        }
        default: *value = bits; break;
    }
    return DQM_OK;
}

DQM_API int32_t DQM_eStreamStart(int32_t handle, int32_t, int32_t, const int32_t*, double*) {
    return handles().find(handle) ? DQM_ERR_NOT_SUPPORTED : DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_eStreamRead(int32_t handle, double*, int32_t*, int32_t*) {
    return handles().find(handle) ? DQM_ERR_NOT_SUPPORTED : DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_eStreamStop(int32_t handle) {
    return handles().find(handle) ? DQM_ERR_NOT_SUPPORTED : DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_ReadLibraryConfigS(const char* name, double* value) {
    if (!name || !value) return DQM_ERR_INVALID_ARGUMENT;
    if (dqm::textEquals(name, "DQM_LIBRARY_VERSION")) {
        *value = dqm::kLibraryVersion;
        return DQM_OK;
    }
    return DQM_ERR_UNKNOWN_CONFIG_NAME;
}

DQM_API const char* DQM_ErrorText(int32_t code) {
    switch (code) {
#define DQM_ERROR_CASE(name, value, text) \
    case value:                           \
        return text;
        DQM_ERROR_TABLE(DQM_ERROR_CASE)
#undef DQM_ERROR_CASE
    }
    return "unknown error code";
}

}  // extern "C"
