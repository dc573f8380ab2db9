// "Read Test Jig Info": reads the jig's memory through the device, checks
// that the jig is of the expected type and that the code it wires onto
// digital lines 0 to 4 matches the code in its memory, and keeps its
// identity and constants in the context for the steps that measure through
// the jig. A wrong or unread jig is Fatal, so those steps do not run.
#include "device/mbfb.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"

#include <bit>
#include <cstddef>

namespace {

// Writing this set-up makes the device read the 32-byte record from the
// jig memory within the same transaction: memory bus on lines 7 and 6, bus
// address 0x50, one byte sent (read address 0), 32 bytes received.
constexpr std::int32_t kExchangeSetUp = 5100;
constexpr std::uint8_t kExchangeBytes[] = {0x00, 0x07, 0x00, 0x06, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x50, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x20, 0x00, 0x00};
constexpr std::int32_t kExchangeSetUpWords = sizeof kExchangeBytes / 2;
constexpr std::int32_t kRecordRegister = 5160;
constexpr std::int32_t kRecordWords = 16;
constexpr std::int32_t kDigitalPort0 = 2500;
constexpr unsigned kCodeLines = 0x1F;  // digital lines 0 to 4
constexpr std::int32_t kJigType = 6;

// Where the record keeps the constants the station uses (constant 4 is not).
struct JigConstant {
    std::size_t offset;
    double TestContext::*field;
};
constexpr JigConstant kConstants[] = {
    {4, &TestContext::jigCal1},  {8, &TestContext::jigCal2},  {12, &TestContext::jigCal3},
    {20, &TestContext::jigCal5}, {24, &TestContext::jigCal6}, {28, &TestContext::jigCal7},
};

float bigEndianFloat(const std::uint8_t* bytes) {
    const std::uint32_t bits = static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
                               static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    return std::bit_cast<float>(bits);
}

}  // namespace

std::int32_t readTestJigInfoStep(TestContext* context) {
    context->jigType = 0;
    context->jigCode = 0;
    context->resultState = Passed;

    MbfbOperation ops[] = {
        MbfbOperation(kExchangeSetUp, kExchangeSetUpWords, kExchangeBytes),
        MbfbOperation::read(kRecordRegister, kRecordWords, kMbfbBytes),
        MbfbOperation::read(kDigitalPort0, 1, kMbfbU16),
    };
    if (const std::int32_t code = mbfbTransact(context->handle, 3, ops)) return failCommError(context, code);

    const std::uint8_t* record = ops[1].data;
    context->jigCode = record[1];
    context->jigType = record[2] * 256 + record[3];
    // Kept whatever the checks find.
    for (const JigConstant& constant : kConstants) {
        context->*constant.field = bigEndianFloat(record + constant.offset);
    }
    const unsigned lines = ops[2].u16() & kCodeLines;

    const char* verdict = "Jig found: ";
    if (lines != static_cast<unsigned>(context->jigCode)) {
        context->resultState = Fatal;
        verdict = "Code mismatch: ";
    } else if (context->jigType != kJigType) {
        context->resultState = Fatal;
        verdict = "Wrong Jig Type: ";
    }
    text::copy(context->details, verdict);
    text::appendFormat(context->details, "(%u,%u,%u)", static_cast<unsigned>(context->jigType),
                       static_cast<unsigned>(context->jigCode), lines);
    return 0;
}
