#pragma once

// The program: shows the device library version, runs the test plan and
// waits for Enter. Returns the process exit code, 0.
int dqtestMain();
