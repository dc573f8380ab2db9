#include "sequencer/step_report.h"

#include "sequencer/text.h"

std::int32_t failCommError(TestContext* context, std::int32_t code) {
    context->resultState = Fatal;
    char number[text::kScratchSize];
    text::format(number, "(%i)", code);
    text::copy(context->details, "Comm Error: ");
    text::append(context->details, number);
    return 1;
}
