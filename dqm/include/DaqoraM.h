/*
 * DaqoraM - the DQM device library for Daqora data-acquisition devices.
 *
 * Every operation returns a 32-bit error code, DQM_OK (0) for success.
 * Handles are 32-bit signed integers; 0 is never a valid handle.
 * All multi-byte values on the device wire are most significant byte first.
 */
#ifndef DAQORAM_H
#define DAQORAM_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(DQM_BUILDING_LIBRARY)
#    define DQM_API __declspec(dllexport)
#  else
#    define DQM_API __declspec(dllimport)
#  endif
#else
#  define DQM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the request/reply buffer that DQM_MBFBComm works in. */
#define DQM_MBFB_BUFFER_SIZE 1536

/*
 * Error codes, each with its text. Codes below 1000 are stream conditions,
 * codes from 1000 to 1999 the library's own, codes from 2000 up device
 * error codes that the library passes on unchanged.
 */
#define DQM_ERROR_TABLE(X)                                                                   \
    X(DQM_OK, 0, "no error")                                                                 \
    X(DQM_ERR_STREAM_ALREADY_RUNNING, 203, "a stream is already running")                    \
    X(DQM_ERR_INVALID_HANDLE, 1001, "handle is not open")                                    \
    X(DQM_ERR_INVALID_ARGUMENT, 1002, "invalid argument")                                    \
    X(DQM_ERR_UNKNOWN_DEVICE_TYPE, 1003, "unknown device type")                              \
    X(DQM_ERR_UNKNOWN_CONNECTION_TYPE, 1004, "unknown connection type")                      \
    X(DQM_ERR_UNKNOWN_CONFIG_NAME, 1005, "unknown library configuration name")               \
    X(DQM_ERR_NOT_SUPPORTED, 1006, "operation not supported on this connection")             \
    X(DQM_ERR_DEVICE_NOT_FOUND, 1010, "no device found")                                     \
    X(DQM_ERR_REQUEST_MALFORMED, 1020, "request length or frames are malformed")             \
    X(DQM_ERR_REPLY_TRUNCATED, 1021, "reply shorter than its header or length field")        \
    X(DQM_ERR_REPLY_WRONG_FUNCTION, 1022, "reply carries another function code")             \
    X(DQM_ERR_REPLY_WRONG_LENGTH, 1023, "reply length differs from what the request asks")   \
    X(DQM_ERR_REPLY_WRONG_TRANSACTION, 1024, "reply answers another transaction")            \
    X(DQM_ERR_CONNECTION_LOST, 1030, "connection to the device lost")                        \
    X(DQM_ERR_TIMEOUT, 1031, "device did not answer in time")                                \
    X(DQM_ERR_STREAM_NOT_RUNNING, 1040, "no stream runs on this handle")                     \
    X(DQM_ERR_STREAM_DATA_INVALID, 1041, "stream data does not match the scan list")         \
    X(DQM_ERR_ILLEGAL_FUNCTION, 1101, "device exception: illegal function")                  \
    X(DQM_ERR_ILLEGAL_ADDRESS, 1102, "device exception: illegal data address")               \
    X(DQM_ERR_ILLEGAL_VALUE, 1103, "device exception: illegal data value")                   \
    X(DQM_ERR_DEVICE_FAILURE, 1104, "device exception: device failure")                      \
    X(DQM_ERR_TCP_NOT_REACHABLE, 1227, "TCP device not reachable")                           \
    X(DQM_ERR_FLASH_READ_RETRY, 2358, "flash busy, read the chunk again")

/* A device exception without a device error code of its own becomes
 * DQM_ERR_EXCEPTION_BASE + the exception code; one that carries a device
 * error code (2000 and up) returns that code unchanged. */
#define DQM_ERR_EXCEPTION_BASE 1100

#define DQM_ERROR_ENUMERATOR(name, code, text) name = code,
enum DQM_ErrorCode { DQM_ERROR_TABLE(DQM_ERROR_ENUMERATOR) };
#undef DQM_ERROR_ENUMERATOR

/* Connects to a device. deviceType "DQM_dtZ6"; connectionType "DQM_ctUSB" or
 * "DQM_ctTCP"; identifier "DQM_idANY" or, for TCP, a dotted IPv4 address. */
DQM_API int32_t DQM_OpenS(const char *deviceType, const char *connectionType,
                          const char *identifier, int32_t *handle);

/* Closes a handle; safe on 0, unknown and already closed handles. */
DQM_API int32_t DQM_Close(int32_t handle);

/* Sends the Modbus-feedback request in buffer (DQM_MBFB_BUFFER_SIZE bytes,
 * length taken from its header) and leaves the device's reply in it. */
DQM_API int32_t DQM_MBFBComm(int32_t handle, uint8_t unitId, uint8_t *buffer,
                             int32_t *errorAddress);

/* Reads one register; dataType 1 reads a 32-bit unsigned value. */
DQM_API int32_t DQM_eReadAddress(int32_t handle, int32_t address, int32_t dataType,
                                 double *value);

/* Starts sampling numAddresses registers; each DQM_eStreamRead returns
 * scansPerRead scans. scanRate is the requested rate in scans per second
 * and holds the rate in use on return. */
DQM_API int32_t DQM_eStreamStart(int32_t handle, int32_t scansPerRead,
                                 int32_t numAddresses, const int32_t *addresses,
                                 double *scanRate);

/* Reads one block of scans, scan by scan, into data. */
DQM_API int32_t DQM_eStreamRead(int32_t handle, double *data,
                                int32_t *deviceScanBacklog,
                                int32_t *libraryScanBacklog);

DQM_API int32_t DQM_eStreamStop(int32_t handle);

/* Reads a library setting; "DQM_LIBRARY_VERSION" gives the library version. */
DQM_API int32_t DQM_ReadLibraryConfigS(const char *name, double *value);

/* Text for an error code, never null. Not used by the station. */
DQM_API const char *DQM_ErrorText(int32_t code);

#ifdef __cplusplus
}
#endif

#endif /* DAQORAM_H */
