// "Self Diagnostic": the diagnostic code the firmware keeps, then, with the
// jig, the gain ratios of the input ranges. Each of two rounds balances the
// jig's reference on one range, stepping its set point until channel 8
// reads a fixed raw value, and reads the same signal on the neighbouring
// ranges: round 1 on the 1 V range with digital line 5 high, round 2 on the
// 0.1 V range with line 5 low (the jig's divider engaged).
#include "device/mbfb.h"
#include "device/registers.h"
#include "platform/clock.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/analog_input.h"

namespace {

constexpr std::int32_t kDiagnosticCode = 60090;
constexpr std::uint16_t kMainOscillatorFailure = 2950;
constexpr std::int32_t kStimulus = 30014;  // the jig reference's set point, float
constexpr std::int32_t kChannel = 8;       // against channel 9
constexpr std::int32_t kNegativeChannel = 9;
constexpr std::int32_t kRawRegister = 50000 + 2 * kChannel;
constexpr std::int32_t kSettling = 100;

// The balance: the raw result within kTarget +- kWindow, inclusive, moving
// the set point kStep per try and waiting kSettleMs after each. A good device
// balances in about 20 tries; kMaxTries (10 s of waiting) allows a reference
// some 30 % away from where it should be.
constexpr std::uint32_t kTarget = 0xC00000;
constexpr std::uint32_t kWindow = 0x1000;
constexpr float kStep = 0.0003f;
constexpr std::uint32_t kSettleMs = 20;
constexpr int kMaxTries = 500;

constexpr std::int64_t kGainTolerance = 0x80000;  // raw; equal passes

struct GainCheck {
    std::int32_t rangeIndex;
    std::uint32_t expected;  // raw
    const char* failureText;
};

struct Round {
    std::int32_t balanceRange;
    std::int32_t line5;
    float start;  // set point the balance starts from
    GainCheck checks[3];
};

// The third check of each round reads a signal too large for its range: the
// top of the raw scale.
constexpr Round kRounds[] = {
    {ain::kRange1V,
     1,
     0.5f,
     {{ain::kRange10V, 0x891C40, "Gain error, Round 1, 10V, "},
      {ain::kRange1V, 0xC03300, "Gain error, Round 1, 1V, "},
      {ain::kRange100mV, 0xFFFF00, "Gain error, Round 1, 0.1V, "}}},
    {ain::kRange100mV,
     0,
     1.12f,
     {{ain::kRange1V, 0x891700, "Gain error, Round 2, 1V, "},
      {ain::kRange100mV, 0xC00B80, "Gain error, Round 2, 0.1V, "},
      {ain::kRange10mV, 0xFFFF00, "Gain error, Round 2, 0.01V, "}}},
};

std::int32_t configureChannel(std::int32_t handle, std::int32_t rangeIndex) {
    return configureAin(handle, kChannel, rangeIndex, ain::kResolution, kNegativeChannel, kSettling);
}

enum class Balance { Reached, NotReached, CommError };

// Steps the set point from start until the raw result lies in the window.
// On CommError, code holds the library's code; raw holds the last result.
Balance balance(std::int32_t handle, float start, std::uint32_t& raw, std::int32_t& code) {
    float setPoint = start;
    for (int tries = 0; tries < kMaxTries; ++tries) {
        if ((code = writeF32(handle, kStimulus, setPoint)) != 0) return Balance::CommError;
        platform::sleepMs(kSettleMs);
        if ((code = readAddressU32(handle, kRawRegister, &raw)) != 0) return Balance::CommError;
        if (raw > kTarget + kWindow) {
            setPoint -= kStep;
        } else if (raw < kTarget - kWindow) {
            setPoint += kStep;
        } else {
            return Balance::Reached;
        }
    }
    return Balance::NotReached;
}

// One round: set-up, balance, gain checks. Returns 1 when the step fails.
std::int32_t runRound(TestContext* context, int number, const Round& round) {
    const std::int32_t handle = context->handle;
    // Every status counts here: a failed transaction would leave a range
    // unswitched or a reading stale, and a stale reading can pass.
    if (const std::int32_t code = configureChannel(handle, round.balanceRange)) return failCommError(context, code);
    if (const std::int32_t code = writeReg2005(handle, round.line5)) return failCommError(context, code);

    std::uint32_t raw = 0;
    std::int32_t code = 0;
    switch (balance(handle, round.start, raw, code)) {
        case Balance::Reached: break;
        case Balance::CommError: return failCommError(context, code);
        case Balance::NotReached:
            context->resultState = Fatal;
            text::format(context->details, "Balance not reached, Round %d, %d steps, last %X", number, kMaxTries, raw);
            return 1;
    }

    for (const GainCheck& check : round.checks) {
        if ((code = configureChannel(handle, check.rangeIndex)) != 0) return failCommError(context, code);
        if ((code = readAddressU32(handle, kRawRegister, &raw)) != 0) return failCommError(context, code);
        const std::int64_t difference = std::int64_t{raw} - std::int64_t{check.expected};
        if (difference > kGainTolerance || difference < -kGainTolerance) {
            context->resultState = Fatal;
            text::copy(context->details, check.failureText);
            text::appendFormat(context->details, " %X", raw);
            return 1;
        }
    }
    return 0;
}

}  // namespace

std::int32_t selfDiagnosticStep(TestContext* context) {
    context->resultState = Passed;
    MbfbOperation read = MbfbOperation::read(kDiagnosticCode, 1, kMbfbU16);
    if (const std::int32_t code = mbfbTransact(context->handle, 1, &read)) return failCommError(context, code);
    const std::uint16_t diagnostic = read.u16();
    if (diagnostic != 0) {
        context->resultState = Fatal;
        if (diagnostic == kMainOscillatorFailure) {
            text::copy(context->details, "Main OSC Failure.");
            text::appendFormat(context->details, " (%i)", diagnostic);
        } else {
            text::copy(context->details, "Diagnostic code:");
            text::appendFormat(context->details, " %i", diagnostic);
        }
        return 1;
    }
    text::copy(context->details, "No problems detected.");
    if ((context->stationFlags & flags::kTestJig) == 0) return 0;

    for (int i = 0; i < 2; ++i) {
        if (runRound(context, i + 1, kRounds[i])) return 1;
    }
    if (const std::int32_t code = writeReg2005(context->handle, 1)) return failCommError(context, code);
    return 0;
}
