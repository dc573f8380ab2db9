// One simulated Daqora Z6 in its test jig: its registers, its flash, its
// analog side and the Modbus server that answers the station, set up from a
// scenario.
#pragma once

#include "platform/clock.h"
#include "z6/analog_front_end.h"
#include "z6/device_clock.h"
#include "z6/device_settings.h"
#include "z6/digital_lines.h"
#include "z6/flash.h"
#include "z6/flash_window.h"
#include "z6/jig.h"
#include "z6/jig_connector.h"
#include "z6/modbus_server.h"
#include "z6/power.h"
#include "z6/register_map.h"
#include "z6/scenario.h"
#include "z6/state_store.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace z6 {

class Z6Model {
public:
    Z6Model(const Scenario& scenario, platform::Clock& clock);
    Z6Model(const Z6Model&) = delete;
    Z6Model& operator=(const Z6Model&) = delete;

    // A Modbus TCP request ADU in, the reply ADU out (functions 3, 16, 76).
    // While the device is away (restarting) it answers nothing: the reply
    // is empty.
    std::vector<std::uint8_t> handleRequest(const std::uint8_t* request, std::size_t length);

    // False while the device is away after a restart or soft reset; the
    // first call after it is back boots it again.
    bool available();
    // Milliseconds until the device is back; 0 when it is here.
    std::uint32_t awayForMs() const { return power_.awayForMs(); }
    // Boots so far: a connection made during an older boot is gone.
    std::uint64_t boots() const { return power_.boots(); }

    // The identity the device runs with until its next boot.
    static constexpr std::uint32_t kDefaultSerial = 470010000;
    static constexpr std::uint64_t kDefaultMac = 0x0E5D71002000;
    static constexpr std::uint32_t kProvisioningRecord = 0x3C3000;

    Flash& flash() { return flash_; }
    const Flash& flash() const { return flash_; }
    RegisterMap& registers() { return registers_; }
    const RegisterMap& registers() const { return registers_; }
    const Scenario& scenario() const { return scenario_; }
    platform::Clock& clock() { return clock_; }
    Jig& jig() { return jig_; }
    AnalogFrontEnd& analog() { return analog_; }
    const DeviceClock& deviceClock() const { return deviceClock_; }

    // Grows whenever the flash or a persistent setting changes; equal values
    // mean nothing to save since.
    std::uint64_t persistentChanges() const { return flash_.changes() + registers_.persistentWrites(); }
    // Told of each scenario fault the device injects ("flash read busy").
    void onFault(FlashWindow::FaultHook hook) { flashWindow_.onFault(std::move(hook)); }

    // The flash and the persistent registers. Throws StateError.
    void saveState(const std::filesystem::path& dir) const;
    // Makes the device what dir holds; what dir lacks is factory-new (the
    // factory flash, settings as at construction). On an error nothing changes.
    void loadState(const std::filesystem::path& dir);

private:
    RegisterValues persistentValues() const;
    // What the firmware does at start: take the serial number and MAC from
    // the provisioning record (the factory defaults where it is blank), the
    // calibration from its image, and the analog side and the digital lines
    // to their start-up state.
    void boot();

    Scenario scenario_;
    platform::Clock& clock_;
    Power power_;
    Flash flash_;
    RegisterMap registers_;
    FlashWindow flashWindow_;
    Jig jig_;
    JigConnector jigConnector_;
    DigitalLines digitalLines_;
    AnalogFrontEnd analog_;
    DeviceSettings settings_;
    DeviceClock deviceClock_;
    ModbusServer server_;
    RegisterValues factorySettings_;
};

}  // namespace z6
