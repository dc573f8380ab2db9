#pragma once

#include <cstdint>

// The program: shows the device library version, runs the test plan and
// waits for Enter. Returns the process exit code, 0.
int dqtestMain();
// The same with other station flags than the station's own.
int dqtestMain(std::uint32_t stationFlags);
