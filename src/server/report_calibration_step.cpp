// "Report Calibraion": the 41 calibration constants as the table holds them
// now, and the meter that measured them, to the test server under the
// device's serial number.
#include "calibration/cal_table.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "server/server_client.h"

#include <cstdlib>

std::int32_t reportCalibrationStep(TestContext* context) {
    context->resultState = Passed;

    // The table's names are constant; the report may cut its copies.
    static_assert(kCalConstants + 2 == kCalReportEntries);
    char names[kCalConstants][sizeof calTable[0].name];
    CalReportEntry entries[kCalReportEntries];
    for (std::size_t i = 0; i < kCalConstants; ++i) {
        text::copy(names[i], calTable[i].name);
        entries[i] = {names[i], static_cast<double>(calValues[i])};
    }
    // The meter texts hold a colon, so their values are not sent.
    char meterNameEntry[text::kScratchSize];
    char meterSerialEntry[text::kScratchSize];
    text::copy(meterNameEntry, "Meter Name: ");
    text::append(meterNameEntry, meterName);
    text::copy(meterSerialEntry, "Meter Serial: ");
    text::append(meterSerialEntry, meterCalString);
    entries[kCalConstants] = {meterNameEntry, std::strtod(meterName, nullptr)};
    entries[kCalConstants + 1] = {meterSerialEntry, std::strtod(meterCalString, nullptr)};

    if (!context->serverClient) return failCommError(context, server_code::kNotConnected);
    if (const int code = context->serverClient->sendCalibration(entries, context->serialNumber))
        return failCommError(context, code);
    text::format(context->details, "Sent %i cal points. ", kCalReportEntries);
    return 0;
}
