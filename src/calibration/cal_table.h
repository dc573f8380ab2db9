// The 41 calibration constants every Z6 keeps: their fixed table (name,
// nominal value, relative tolerance) and the program-wide values the
// Calibrate step measures, with the meter identification it records. The
// calibration report and log read them from here.
#pragma once

#include "sequencer/text.h"

#include <cstddef>

struct CalConstant {
    char name[200];
    double nominal;
    double tolerance;  // largest relative deviation from nominal
};

constexpr std::size_t kCalConstants = 41;

extern const CalConstant calTable[kCalConstants];

// Measured values in table order; zero until the Calibrate step fills them.
extern float calValues[kCalConstants];

// The meter that calibrated the device: its identification and its
// calibration text; empty until the Calibrate step sets them.
extern char meterName[text::kScratchSize];
extern char meterCalString[text::kScratchSize];
