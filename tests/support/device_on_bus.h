// A Z6 model reached through the device library, as the station reaches
// it, on a virtual clock that is also the station's: a step run against it
// sleeps without waiting, and the device's clock moves with the station's.
#pragma once

#include "support/scoped_clock.h"

#include "inprocess_bus.h"
#include "z6/byte_order.h"
#include "z6/scenario.h"
#include "z6/z6_model.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

class DeviceOnBus {
public:
    explicit DeviceOnBus(const z6::Scenario& scenario = {}) : model(scenario, clock.clock) {
        bus.plugUsb(model);
        EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &handle), DQM_OK);
    }
    explicit DeviceOnBus(const std::string& scenarioName) : DeviceOnBus(z6::loadScenario(scenarioName)) {}
    ~DeviceOnBus() { DQM_Close(handle); }
    DeviceOnBus(const DeviceOnBus&) = delete;
    DeviceOnBus& operator=(const DeviceOnBus&) = delete;

    // From now on reads of the float register at address give these values
    // in turn, the last one again once they are used up: a device that
    // reads exactly what a test needs.
    void pinF32(std::uint16_t address, std::vector<float> values) {
        model.registers().onRead(address, [values, next = std::size_t{0}](std::span<std::uint8_t> block) mutable {
            z6::storeF32(block.data(), values[next < values.size() ? next++ : values.size() - 1]);
            return z6::DeviceError::None;
        });
    }

    ScopedClock<> clock;
    z6::Z6Model model;
    z6::InProcessBus bus;
    std::int32_t handle = 0;
};

}  // namespace testing_support
