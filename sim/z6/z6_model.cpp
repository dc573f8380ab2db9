#include "z6/z6_model.h"

#include "z6/byte_order.h"
#include "z6/electrical.h"
#include "z6/factory_flash.h"
#include "z6/z6_registers.h"

#include <algorithm>

namespace z6 {

Z6Model::Z6Model(const Scenario& scenario, platform::Clock& clock)
    : scenario_(scenario),
      clock_(clock),
      power_(clock),
      registers_(z6RegisterTable()),
      flashWindow_(flash_, registers_, scenario.faults.flashReadBusy),
      jig_(scenario_.jig),
      jigConnector_(jig_, registers_),
      digitalLines_(scenario_.faults, jig_, registers_),
      analog_(scenario_, jig_, flash_, registers_),
      settings_(scenario_.settings, registers_),
      deviceClock_(scenario_, clock_, registers_),
      server_(registers_) {
    const Identity& identity = scenario_.identity;
    registers_.setF32(reg::kProductId, identity.productId);
    registers_.setF32(reg::kHardwareVersion, identity.hardwareVersion);
    registers_.setF32(reg::kFirmwareVersion, identity.firmwareVersion);
    registers_.setF32(reg::kBootstrapVersion, identity.bootstrapVersion);
    registers_.setU32(reg::kOptions, identity.options);
    registers_.setU32(reg::kFlashChipId, identity.flashChipId);
    registers_.setU32(reg::kFlashFlags, identity.flashFlags);
    registers_.setF32(reg::kWifiVersion, identity.wifiVersion);
    registers_.setU16(reg::kDiagnosticCode, static_cast<std::uint16_t>(scenario_.faults.diagnosticCode));
    factorySettings_ = persistentValues();
    writeFactoryFlash(flash_, scenario_);

    // The reply to a restart request still goes out; the device leaves after it.
    registers_.onWrite(reg::kRestart, [this](std::span<const std::uint8_t> data) {
        if (loadU32(data.data()) != reg::kRestartKey) return DeviceError::RestartKeyInvalid;
        power_.goAway(restartAwayMs(scenario_.identity.bootstrapVersion));
        return DeviceError::None;
    });
    registers_.onWrite(reg::kSoftReset, [this](std::span<const std::uint8_t>) {
        power_.goAway(kSoftResetAwayMs);
        return DeviceError::None;
    });
    // The reference divider on the jig follows line 5.
    digitalLines_.onLevels([this](std::uint32_t levels) {
        analog_.setLine5High((levels & electrical::line(electrical::kReferenceDividerLine)) != 0);
    });
    boot();
}

std::vector<std::uint8_t> Z6Model::handleRequest(const std::uint8_t* request, std::size_t length) {
    if (!available()) return {};
    return server_.handleRequest(request, length);
}

bool Z6Model::available() {
    bool bootedNow = false;
    const bool here = power_.poll(bootedNow);
    if (bootedNow) boot();
    return here;
}

void Z6Model::boot() {
    const std::vector<std::uint8_t> record = flash_.read(kProvisioningRecord, 32);
    const auto blank = [&](std::size_t from, std::size_t count) {
        return std::all_of(record.begin() + static_cast<long>(from), record.begin() + static_cast<long>(from + count),
                           [](std::uint8_t b) { return b == Flash::kErasedByte; });
    };
    // The serial number is stored least significant byte first at offset 8.
    std::uint32_t serial = kDefaultSerial;
    if (!blank(8, 4)) serial = record[8] | record[9] << 8 | record[10] << 16 | static_cast<std::uint32_t>(record[11]) << 24;
    registers_.setU32(reg::kSerialNumber, serial);

    // The MAC is stored most significant byte first at offset 22; the
    // register holds two zero bytes and then the six MAC bytes.
    std::uint8_t mac[2 * reg::kMacAddressWords] = {};
    if (blank(22, 6)) {
        for (int i = 0; i < 6; ++i) mac[2 + i] = static_cast<std::uint8_t>(kDefaultMac >> (8 * (5 - i)));
    } else {
        std::copy(record.begin() + 22, record.begin() + 28, mac + 2);
    }
    registers_.setRaw(reg::kMacAddress, mac);

    registers_.setU32(reg::kFlashKey, 0);
    registers_.setU32(reg::kFlashReadPointer, 0);

    analog_.boot();
    jigConnector_.boot();
    digitalLines_.boot();
    deviceClock_.boot();
}

RegisterValues Z6Model::persistentValues() const {
    RegisterValues values;
    for (const RegisterDefinition& d : registers_.definitions()) {
        if (d.persistence == Persistence::Persistent) values[d.address] = registers_.raw(d.address);
    }
    return values;
}

void Z6Model::saveState(const std::filesystem::path& dir) const {
    writeState(dir, flash_.bytes(), persistentValues());
}

void Z6Model::loadState(const std::filesystem::path& dir) {
    const StoredState state = readState(dir, registers_);
    if (state.flashImage) {
        flash_.load(*state.flashImage);
    } else {
        writeFactoryFlash(flash_, scenario_);
    }
    for (const auto& [address, bytes] : factorySettings_) {
        const auto stored = state.settings.find(address);
        registers_.setRaw(address, stored != state.settings.end() ? stored->second : bytes);
    }
    boot();
}

}  // namespace z6
