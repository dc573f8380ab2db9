// Errors the Z6 reports in the extra two bytes of a function-76 exception
// reply. The station library passes codes from 2000 up on unchanged, so
// these numbers are part of the device's interface: never renumber one.
#pragma once

#include <cstdint>
#include <string_view>

namespace z6 {

#define Z6_DEVICE_ERROR_TABLE(X)                                                                    \
    X(None, 0, "no error")                                                                          \
    X(FlashWrongKey, 2350, "flash key does not unlock the region of this address")                  \
    X(FlashAddressInNoRegion, 2351, "flash address belongs to no region")                           \
    X(FlashRangeLeavesRegion, 2352, "flash range runs past the end of its region")                  \
    X(FlashEraseNotPageAligned, 2353, "erase address is not the start of a 4 KB page")              \
    X(FlashProgramLengthInvalid, 2354, "program data must be an even number of bytes from 2 to 32") \
    X(FlashReadBusy, 2358, "flash busy: read the chunk again")                                      \
    X(RestartKeyInvalid, 2360, "restart request without the restart key")                          \
    X(StreamAlreadyRunning, 2370, "a stream already runs on this connection")                      \
    X(StreamSettingsInvalid, 2371, "stream rate or scan list not possible")                         \
    X(AnalogSettingInvalid, 2380, "analog input setting out of range")                              \
    X(DacCodeInvalid, 2381, "DAC code above 65535")                                                 \
    X(JigExchangeInvalid, 2382, "jig memory exchange set-up is malformed")                          \
    X(JigMemoryNoAnswer, 2383, "nothing answers on the jig memory bus")                             \
    X(FactoryKeyInvalid, 2384, "wrong key for restoring the factory start-up settings")

#define Z6_DEVICE_ERROR_ENUMERATOR(name, code, text) name = code,
enum class DeviceError : std::uint16_t { Z6_DEVICE_ERROR_TABLE(Z6_DEVICE_ERROR_ENUMERATOR) };
#undef Z6_DEVICE_ERROR_ENUMERATOR

// Text of a device error; "unknown device error" for a code not in the table.
constexpr std::string_view deviceErrorText(DeviceError error) {
#define Z6_DEVICE_ERROR_CASE(name, code, text) \
    case DeviceError::name:                    \
        return text;
    switch (error) { Z6_DEVICE_ERROR_TABLE(Z6_DEVICE_ERROR_CASE) }
#undef Z6_DEVICE_ERROR_CASE
    return "unknown device error";
}

}  // namespace z6
