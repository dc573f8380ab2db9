// "DIO Short Test", for a station without the jig: with every line an input
// all lines must read high; then each line in turn is driven low alone, and
// any other line that follows it is reported as a possible short.
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/digital_io.h"

namespace {

constexpr std::uint8_t kAllInputs[2 * dio::kPorts] = {};

// Every line an input; with driveLow >= 0, that line then driven low.
std::int32_t setLines(std::int32_t handle, int driveLow) {
    MbfbOperation ops[2] = {MbfbOperation(dio::kDirection, dio::kPorts, kAllInputs)};
    if (driveLow < 0) return mbfbTransact(handle, 1, ops);
    ops[1] = MbfbOperation(dio::kLine + driveLow, 1, kMbfbU16, 0.0);
    return mbfbTransact(handle, 2, ops);
}

// The levels of all lines as one mask; for ports of their nominal width
// bit i is line i.
std::int32_t readLines(std::int32_t handle, std::uint32_t& value) {
    MbfbOperation read = dio::readAllStates();
    if (const std::int32_t code = mbfbTransact(handle, 1, &read)) return code;
    value = (dio::portLevels(read, 3) * 16 + dio::portLevels(read, 2)) * 65536 + dio::portLevels(read, 1) * 256 +
            dio::portLevels(read, 0);
    return 0;
}

// The highest line in mask: the number of right shifts that empty it, less one.
unsigned highestLine(std::uint32_t mask) {
    unsigned shifts = 0;
    while (mask != 0 && shifts < dio::kLines) {
        mask >>= 1;
        ++shifts;
    }
    return shifts - 1;
}

}  // namespace

std::int32_t dioShortTestStep(TestContext* context) {
    context->resultState = Passed;
    const std::int32_t handle = context->handle;
    std::uint32_t value = 0;
    if (const std::int32_t code = setLines(handle, -1)) return failCommError(context, code);
    if (const std::int32_t code = readLines(handle, value)) return failCommError(context, code);
    if (value != dio::kAllLines) {
        // Reported, but the line walk below goes on and has the last word.
        context->resultState = Fatal;
        text::copy(context->details, "All high: ");
        text::appendFormat(context->details, "0x%06X expected 0x7FFFFF", value);
    }

    for (unsigned line = 0; line < dio::kLines; ++line) {
        if (const std::int32_t code = setLines(handle, static_cast<int>(line))) return failCommError(context, code);
        if (const std::int32_t code = readLines(handle, value)) return failCommError(context, code);
        const std::uint32_t expected = dio::kAllLines & ~(1u << line);
        if (value == expected) continue;

        context->resultState = Error;
        const std::uint32_t alsoLow = expected & ~value;
        if (alsoLow != 0) {
            text::copy(context->details, "Possible short DIO#: ");
            text::appendFormat(context->details, "%u, ", line);
            text::appendFormat(context->details, "%u", highestLine(alsoLow));
        } else if (value & (1u << line)) {
            // No other line follows it: the line itself stays high.
            text::format(context->details, "DIO# %u will not go low", line);
        } else {
            // Only lines the device should not have read high.
            text::format(context->details, "DIO# %u low: 0x%06X expected 0x%06X", line, value, expected);
        }
        return 0;
    }
    text::copy(context->details, "All tests passed");
    return 0;
}
