// The DQM device library: the operations a program calls. Requests and
// replies are checked here, whatever transport carries them.
#include "DaqoraM.h"
#include "DaqoraM_transport.h"
#include "handle_table.h"

#include <atomic>
#include <cstring>

namespace dqm {
namespace {

constexpr double kLibraryVersion = 1.05;
constexpr std::int32_t kTypeU16 = 0;
constexpr std::int32_t kTypeF32 = 3;

bool textEquals(const char* a, const char* b) { return a && std::strcmp(a, b) == 0; }

std::atomic<Connector*> installedConnector{nullptr};

Connector& connector() {
    Connector* installed = installedConnector.load();
    return installed ? *installed : builtInConnector();
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
    const auto session = handles().find(handle);
    if (!session) return DQM_ERR_INVALID_HANDLE;
    if (!buffer) return DQM_ERR_INVALID_ARGUMENT;
    return session->feedback(buffer);
}

DQM_API int32_t DQM_eReadAddress(int32_t handle, int32_t address, int32_t dataType, double* value) {
    const auto session = handles().find(handle);
    if (!session) return DQM_ERR_INVALID_HANDLE;
    if (!value || address < 0 || address > 0xFFFF) return DQM_ERR_INVALID_ARGUMENT;
    if (dataType < dqm::kTypeU16 || dataType > dqm::kTypeF32) return DQM_ERR_INVALID_ARGUMENT;
    return session->readAddress(address, dataType, *value);
}

DQM_API int32_t DQM_eStreamStart(int32_t handle, int32_t scansPerRead, int32_t numAddresses, const int32_t* addresses,
                                 double* scanRate) {
    const auto session = handles().find(handle);
    if (!session) return DQM_ERR_INVALID_HANDLE;
    if (!addresses || !scanRate) return DQM_ERR_INVALID_ARGUMENT;
    return session->streamStart(scansPerRead, numAddresses, addresses, *scanRate);
}

DQM_API int32_t DQM_eStreamRead(int32_t handle, double* data, int32_t* deviceScanBacklog,
                                int32_t* libraryScanBacklog) {
    const auto session = handles().find(handle);
    if (!session) return DQM_ERR_INVALID_HANDLE;
    if (!data) return DQM_ERR_INVALID_ARGUMENT;
    int32_t deviceBacklog = 0;
    int32_t libraryBacklog = 0;
    const int32_t code = session->streamRead(data, deviceBacklog, libraryBacklog);
    if (deviceScanBacklog) *deviceScanBacklog = deviceBacklog;
    if (libraryScanBacklog) *libraryScanBacklog = libraryBacklog;
    return code;
}

DQM_API int32_t DQM_eStreamStop(int32_t handle) {
    const auto session = handles().find(handle);
    if (!session) return DQM_ERR_INVALID_HANDLE;
    return session->streamStop();
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
