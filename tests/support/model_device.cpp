#include "support/model_device.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

namespace testing_support {

ModelDevice::ModelDevice(const z6::Scenario& scenario) : model(scenario, clock.clock) {
    bus.plugUsb(model);
    bus.observe([this](const std::uint8_t* request, std::size_t length) {
        traffic.record(request, length, clock.clock.tickCount());
        if (unplugAt_ != 0 && bus.exchanges() == unplugAt_) bus.unplugUsb(model);
    });
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &handle), DQM_OK);
}

ModelDevice::~ModelDevice() { DQM_Close(handle); }

void ModelDevice::unplugAfter(std::uint64_t requests) {
    if (requests == 0) {
        bus.unplugUsb(model);
    } else {
        unplugAt_ = bus.exchanges() + requests;
    }
}

}  // namespace testing_support
