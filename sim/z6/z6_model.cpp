#include "z6/z6_model.h"

#include "z6/z6_registers.h"

namespace z6 {

Z6Model::Z6Model(const Scenario& scenario, platform::Clock& clock)
    : scenario_(scenario),
      clock_(clock),
      registers_(z6RegisterTable()),
      flashWindow_(flash_, registers_, scenario.faults.flashReadBusy),
      server_(registers_) {
    const Identity& identity = scenario_.identity;
    registers_.setF32(reg::kProductId, identity.productId);
    registers_.setF32(reg::kHardwareVersion, identity.hardwareVersion);
    registers_.setF32(reg::kFirmwareVersion, identity.firmwareVersion);
    registers_.setF32(reg::kBootstrapVersion, identity.bootstrapVersion);
    registers_.setU32(reg::kOptions, identity.options);
    registers_.setU32(reg::kFlashChipId, identity.flashChipId);
    registers_.setU32(reg::kFlashFlags, identity.flashFlags);
    factorySettings_ = persistentValues();
}

std::vector<std::uint8_t> Z6Model::handleRequest(const std::uint8_t* request, std::size_t length) {
    return server_.handleRequest(request, length);
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
        flash_.eraseAll();
    }
    for (const auto& [address, bytes] : factorySettings_) {
        const auto stored = state.settings.find(address);
        registers_.setRaw(address, stored != state.settings.end() ? stored->second : bytes);
    }
}

}  // namespace z6
