#include "sequencer/test_plan.h"

#include "sequencer/station_flags.h"
#include "sequencer/steps.h"
#include "sequencer/text.h"

const TestPlanEntry primaryPlan[] = {
    {"DQtestZ6 Version", 2, dqtestVersionStep, 0x840000, 0},
    {"Open Daqora", 2, openDaqoraStep, 0x840400, 0},
    {"Firmware Version", 2, firmwareVersionStep, 0x840000, 0},
    {"Hardware Version", 2, hardwareVersionStep, 0x840000, 0},
    {"Read Config File", 2, readConfigFileStep, 0x840000, 0},
    {"Connect to DQTest Server", 2, connectToServerStep, 0x10000, 0},
    {"Read Test Jig Info", 2, readTestJigInfoStep, 0x20000, 0},
    {"Self Diagnostic", 2, selfDiagnosticStep, 0x40000, 0},
    {"Check SD Card", 2, checkSdCardStep, 0x840000, 0},
    {"Load Recovery Image", 2, loadRecoveryImageStep, 0x40020080, 0},
    {"Load web pages", 2, loadWebPagesStep, 0x800000, 0},
    {"Recovery Version", 2, recoveryVersionStep, 0x840000, 0},
    {"Serial Number", 2, serialNumberStep, 0x840000, 0},
    {"Ethernet MAC", 2, ethernetMacStep, 0x840000, 0},
    {"Check Calibration", 2, checkCalibrationStep, 0x840000, 0},
    {"Vs and Current", 2, vsAndCurrentStep, 0x40000, 0},
    {"Vmux", 2, vmuxStep, 0x20000, 0},
    {"System Time", 2, systemTimeStep, 0x840000, 0},
    {"Startup DAQ Settings", 2, startupDaqSettingsStep, 0x840000, 0},
    {"Device Name", 2, deviceNameStep, 0x840000, 0},
    {"Temperature Sensor", 2, temperatureSensorStep, 0x840000, 0},
    {"DIO Short Test", 2, dioShortTestStep, 0x800000, 0x20000},
    {"DIO Jig Test", 2, dioJigTestStep, 0x40020000, 0},
    {"DAC Test", 2, dacTestStep, 0x20000, 0},
    {"WiFi Test", 2, wifiTestStep, 0x840000, 0},
    {"Ethernet test", 2, ethernetTestStep, 0x840000, 0},
    {"AIn Noise (16b counts)", 2, ainNoiseStep, 0x840000, 0},
    {"Calibrate", 2, calibrateStep, 0x40020080, 0},
    {"Reset", 2, resetStep, 0x40000, 0},
    {"Test AIn Accuracy", 2, testAinAccuracyStep, 0x20000, 0},
    {"Save Manufacturing Info", 2, saveManufacturingInfoStep, 0x40020080, 0},
    {"Report Calibraion", 2, reportCalibrationStep, 0x40030080, 0},
    {"Update Calibration Log", 2, updateCalibrationLogStep, 0x40020080, 0},
    {"Report Test Results", 2, reportTestResultsStep, 0x10000, 0},
    {nullptr, 0, nullptr, 0, 0},
};

const TestPlanEntry alternatePlan[] = {
    {"DQtestZ6 Version", 2, dqtestVersionStep, 0x400, 0},
    {"Open Daqora", 2, openDaqoraStep, 0x400, 0},
    {"Test DIO Operation", 2, testDioOperationStep, 0x400, 0},
    {"Analog Test", 2, analogTestStep, 0x400, 0},
    {nullptr, 0, nullptr, 0, 0},
};

const PlanProvider planProviders[] = {
    {kPlanKind, GetTestList},
    {0, nullptr},
};

char programVersionText[256];

bool planRowSelected(std::uint32_t requiredMask, std::uint32_t excludedMask, std::uint32_t stationFlags) {
    const std::uint32_t needed = requiredMask & kFlagBitsMask;
    const bool wanted = (requiredMask & kRequireAll) ? (stationFlags & needed) == needed
                                                     : (stationFlags & needed) != 0;
    return wanted && (stationFlags & excludedMask) == 0;
}

std::int32_t GetTestList(TestContext* context, TestRecord* records, const char** versionText) {
    const std::uint32_t stationFlags = context->stationFlags;
    const TestPlanEntry* plan = (stationFlags & flags::kAlternatePlan) ? alternatePlan : primaryPlan;

    int count = 0;
    for (const TestPlanEntry* row = plan; row->function && count < kMaxTestRecords; ++row) {
        if (!planRowSelected(row->requiredMask, row->excludedMask, stationFlags)) continue;
        TestRecord& record = records[count++];
        record.name = row->name;
        record.state = NotYetRun;
        record.details[0] = '\0';
        record.function = row->function;
    }

    // A calibration station ends with the calibration log, any other with the
    // result report; a Fatal result later in the run skips to it.
    const TestFunction finalStep =
        (stationFlags & flags::kCalStation) ? updateCalibrationLogStep : reportTestResultsStep;
    context->finalStepIndex = kNoFinalStep;
    for (int j = 0; j < count; ++j)
        if (records[j].function == finalStep) context->finalStepIndex = j;

    text::format(programVersionText, "DQtestZ6 %0.02f", kProgramVersion);
    *versionText = programVersionText;
    context->testCount = count;
    return 0;
}
