// What the alternate plan's own rows report on a good device, with and
// without the jig: the same in process and end to end.
#pragma once

#include "sequencer/station_flags.h"

#include <cstdint>

namespace testing_support {

struct AlternatePlanRun {
    const char* scenario;
    std::uint32_t stationFlags;
    const char* dioOperation;  // "Test DIO Operation" details
    const char* analogTest;    // "Analog Test" details
};

inline constexpr AlternatePlanRun kAlternatePlanRuns[] = {
    {"healthy-no-jig", flags::kAlternatePlan, "23 passes of 4 ports passed", "w/o Jig test not implemented"},
    {"healthy-pro", flags::kAlternatePlan | flags::kTestJig, "Not run with the test jig", "8 loop-back rows passed"},
};

}  // namespace testing_support
