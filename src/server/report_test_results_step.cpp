// "Report Test Results", the plan's last step: the summary row of every step
// that ran before it to the test server, then every device connection
// closed.
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "server/server_client.h"

#include "DaqoraM.h"

std::int32_t reportTestResultsStep(TestContext* context) {
    context->resultState = Passed;
    // Every step but this one; a calibration station also leaves out the
    // calibration log just before it.
    const int limit = context->testCount - ((context->stationFlags & flags::kCalStation) ? 2 : 1);
    const char* rows[kMaxTestRecords];
    int count = 0;
    // Rows of skipped steps are missing; the first missing one ends the list.
    while (count < limit && context->summaryRows[count] != nullptr) {
        rows[count] = context->summaryRows[count];
        ++count;
    }

    if (!context->serverClient) return failCommError(context, server_code::kNotConnected);
    ServerClient& client = *context->serverClient;
    const int code = (context->stationFlags & flags::kTestJig)
                         ? client.sendTestResults(rows, count, context->serialNumber)
                         : client.sendQuickTestResults(rows, count, context->serialNumber);
    if (code != 0) return failCommError(context, code);  // the connections stay open
    text::format(context->details, "Sent %i results. ", count);

    // Results not examined: a handle never opened, or one twice, is passed all the same.
    DQM_Close(context->handle);
    DQM_Close(context->usbHandle);
    DQM_Close(context->ethHandle);
    DQM_Close(context->wifiHandle);
    return 0;
}
