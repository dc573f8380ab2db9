// "DQtestZ6 Version": records which program and library versions tested the
// device. It never fails.
#include "sequencer/steps.h"
#include "sequencer/test_plan.h"

#include "DaqoraM.h"

std::int32_t dqtestVersionStep(TestContext* context) {
    context->resultState = Passed;
    double libraryVersion = 0.0;
    DQM_ReadLibraryConfigS("DQM_LIBRARY_VERSION", &libraryVersion);  // a failure leaves 0.0
    text::format(context->details, "DQtestZ6 %.02f, DQM %0.04f", kProgramVersion, libraryVersion);
    return 0;
}
