// One Z6 model reached through the device library in process, on a virtual
// clock installed for the station, with a recording console and the
// decoded traffic of every request it answered.
#pragma once

#include "support/feedback_traffic.h"
#include "support/recording_console.h"
#include "support/scoped_clock.h"

#include "inprocess_bus.h"
#include "z6/scenario.h"
#include "z6/z6_model.h"

#include <cstdint>

namespace testing_support {

class ModelDevice {
public:
    explicit ModelDevice(const z6::Scenario& scenario = {});
    ~ModelDevice();
    ModelDevice(const ModelDevice&) = delete;
    ModelDevice& operator=(const ModelDevice&) = delete;

    // The device leaves the bus once it has answered this many more
    // requests: later requests fail as a lost connection.
    void unplugAfter(std::uint64_t requests);

    ScopedClock<> clock;
    RecordingConsole console;
    z6::Z6Model model;
    z6::InProcessBus bus;
    FeedbackTraffic traffic;
    std::int32_t handle = 0;  // opened on construction

private:
    std::uint64_t unplugAt_ = 0;
};

}  // namespace testing_support
