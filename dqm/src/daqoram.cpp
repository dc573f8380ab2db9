// The DQM device library. Transports to real or simulated devices plug in
// behind these operations; until one is attached no device can be found.
#include "DaqoraM.h"

#include <cstring>

namespace {

constexpr double kLibraryVersion = 1.05;

bool textEquals(const char *a, const char *b) { return a && std::strcmp(a, b) == 0; }

}  // namespace

extern "C" {

DQM_API int32_t DQM_OpenS(const char *deviceType, const char *connectionType,
                          const char *identifier, int32_t *handle) {
    if (!handle || !identifier) return DQM_ERR_INVALID_ARGUMENT;
    *handle = 0;
    if (!textEquals(deviceType, "DQM_dtZ6")) return DQM_ERR_UNKNOWN_DEVICE_TYPE;
    if (!textEquals(connectionType, "DQM_ctUSB") && !textEquals(connectionType, "DQM_ctTCP"))
        return DQM_ERR_UNKNOWN_CONNECTION_TYPE;
    return DQM_ERR_DEVICE_NOT_FOUND;
}

DQM_API int32_t DQM_Close(int32_t) { return DQM_ERR_INVALID_HANDLE; }

DQM_API int32_t DQM_MBFBComm(int32_t, uint8_t, uint8_t *, int32_t *) {
    return DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_eReadAddress(int32_t, int32_t, int32_t, double *) {
    return DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_eStreamStart(int32_t, int32_t, int32_t, const int32_t *, double *) {
    return DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_eStreamRead(int32_t, double *, int32_t *, int32_t *) {
    return DQM_ERR_INVALID_HANDLE;
}

DQM_API int32_t DQM_eStreamStop(int32_t) { return DQM_ERR_INVALID_HANDLE; }

DQM_API int32_t DQM_ReadLibraryConfigS(const char *name, double *value) {
    if (!name || !value) return DQM_ERR_INVALID_ARGUMENT;
    if (textEquals(name, "DQM_LIBRARY_VERSION")) {
        *value = kLibraryVersion;
        return DQM_OK;
    }
    return DQM_ERR_UNKNOWN_CONFIG_NAME;
}

DQM_API const char *DQM_ErrorText(int32_t code) {
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
