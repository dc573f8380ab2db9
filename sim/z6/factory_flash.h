// The flash of a factory-new Z6: erased, except for the recovery image
// header, which holds the recovery firmware version of the scenario.
#pragma once

#include "z6/flash.h"
#include "z6/scenario.h"

namespace z6 {

inline constexpr std::uint32_t kRecoveryHeaderAddress = 0x382000;

void writeFactoryFlash(Flash& flash, const Scenario& scenario);

}  // namespace z6
