// Every step of the two test plans. Each subsystem defines its own steps;
// the plans in test_plan.cpp refer to them by these names.
#pragma once

#include "sequencer/test_context.h"

#include <cstdint>

// Test sequencer
std::int32_t dqtestVersionStep(TestContext* context);  // "DQtestZ6 Version"

// Device identity (steps/identity)
std::int32_t openDaqoraStep(TestContext* context);
std::int32_t firmwareVersionStep(TestContext* context);
std::int32_t hardwareVersionStep(TestContext* context);
std::int32_t recoveryVersionStep(TestContext* context);

// Firmware images (firmware)
std::int32_t loadRecoveryImageStep(TestContext* context);
std::int32_t loadWebPagesStep(TestContext* context);

// Hardware functions (steps/hardware)
std::int32_t readTestJigInfoStep(TestContext* context);
std::int32_t selfDiagnosticStep(TestContext* context);
std::int32_t checkSdCardStep(TestContext* context);
std::int32_t vsAndCurrentStep(TestContext* context);
std::int32_t vmuxStep(TestContext* context);
std::int32_t systemTimeStep(TestContext* context);
std::int32_t startupDaqSettingsStep(TestContext* context);
std::int32_t deviceNameStep(TestContext* context);
std::int32_t temperatureSensorStep(TestContext* context);
std::int32_t dioShortTestStep(TestContext* context);
std::int32_t dioJigTestStep(TestContext* context);
std::int32_t testDioOperationStep(TestContext* context);
std::int32_t dacTestStep(TestContext* context);
std::int32_t ainNoiseStep(TestContext* context);
std::int32_t analogTestStep(TestContext* context);
std::int32_t resetStep(TestContext* context);

// Calibration (calibration)
std::int32_t checkCalibrationStep(TestContext* context);
std::int32_t calibrateStep(TestContext* context);
std::int32_t testAinAccuracyStep(TestContext* context);
std::int32_t saveManufacturingInfoStep(TestContext* context);
std::int32_t updateCalibrationLogStep(TestContext* context);

// Test server (server)
std::int32_t connectToServerStep(TestContext* context);
std::int32_t serialNumberStep(TestContext* context);
std::int32_t ethernetMacStep(TestContext* context);
std::int32_t reportCalibrationStep(TestContext* context);
std::int32_t reportTestResultsStep(TestContext* context);

// Network interfaces (steps/network)
std::int32_t readConfigFileStep(TestContext* context);
std::int32_t wifiTestStep(TestContext* context);
std::int32_t ethernetTestStep(TestContext* context);
