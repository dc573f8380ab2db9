// Steps whose subsystem is not built yet. Each reports Error "Not implemented"
// (never Passed) and keeps its own function, so the plan can still tell the
// final reporting step apart. A subsystem that builds a step removes it here.
#include "sequencer/steps.h"

namespace {

std::int32_t notImplemented(TestContext* context) {
    context->resultState = Error;
    text::copy(context->details, "Not implemented");
    return 1;
}

}  // namespace

#define DQ_PENDING_STEP(name) \
    std::int32_t name(TestContext* context) { return notImplemented(context); }

DQ_PENDING_STEP(checkCalibrationStep)
DQ_PENDING_STEP(calibrateStep)
DQ_PENDING_STEP(testAinAccuracyStep)
DQ_PENDING_STEP(saveManufacturingInfoStep)
DQ_PENDING_STEP(updateCalibrationLogStep)
DQ_PENDING_STEP(readConfigFileStep)
DQ_PENDING_STEP(wifiTestStep)
DQ_PENDING_STEP(ethernetTestStep)
