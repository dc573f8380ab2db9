// "Test DIO Operation", for the alternate plan without the jig: a walking-bit
// test of every port's state, direction and write-inhibit registers, 23
// passes over ports 0 to 3. A port test that reads a wrong state ends that
// port test only; the passes go on, and the first wrong state is reported.
#include "platform/clock.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/digital_io.h"

namespace {

constexpr int kPasses = 23;
constexpr int kSteps = 20;  // walking values per phase
constexpr std::uint32_t kDirectionSettleMs = 2;

// Values written to a port's write-inhibit, direction and state registers,
// in that order, in one transaction.
struct WriteSet {
    std::uint16_t inhibit;
    std::uint16_t direction;
    std::uint16_t state;
};
constexpr WriteSet kAllInputsLow = {0, 0, 0};      // X
constexpr WriteSet kAllOutputsHigh = {0, 255, 255};  // Y
constexpr WriteSet kAllOutputsLow = {0, 255, 0};     // Z

struct PortResult {
    std::int32_t commError = 0;  // the library's code; the port test ended there
    bool wrong = false;          // a state read back wrong
    int phase = 0;
    int step = 0;
    std::uint32_t read = 0;
    std::uint32_t expected = 0;
};

class PortTest {
public:
    PortTest(std::int32_t handle, int port) : handle_(handle), port_(port), width_(dio::kPortWidthMask[port]) {}

    PortResult run() {
        for (int phase = 1; phase <= 2; ++phase) {
            for (int n = 0; n < kSteps; ++n) {
                if (!walk(phase, n)) return result_;
            }
        }
        return result_;
    }

private:
    // One walking value. False when the port test ends here.
    bool walk(int phase, int n) {
        const int k = n % 10;
        const std::uint32_t bit = k == 0 ? 0 : 1u << (k - 1);  // 0x100 lies beyond every port
        const bool high = n >= 10;
        const std::uint16_t released = static_cast<std::uint16_t>(~bit & 0xFF);  // inhibit all lines but bit
        if (phase == 1) {
            // All outputs at one level, then the one released line to the other.
            if (!send(kAllOutputsLow) || !send(high ? kAllOutputsHigh : kAllOutputsLow)) return false;
            MbfbOperation ops[] = {
                MbfbOperation(dio::kWriteInhibit + port_, 1, kMbfbU16, released),
                MbfbOperation(dio::kState + port_, 1, kMbfbU16, high ? 0x00 : 0xFF),
            };
            if (!transact(ops, 2)) return false;
        } else {
            // All lines one way (outputs low, or inputs), then the released one the other.
            if (!send(high ? kAllInputsLow : kAllOutputsLow)) return false;
            MbfbOperation ops[] = {
                MbfbOperation(dio::kWriteInhibit + port_, 1, kMbfbU16, released),
                MbfbOperation(dio::kDirection + port_, 1, kMbfbU16, high ? 0xFF : 0x00),
            };
            if (!transact(ops, 2)) return false;
            platform::sleepMs(kDirectionSettleMs);
        }
        MbfbOperation check[] = {
            MbfbOperation::read(dio::kDirection + port_, 1, kMbfbU16),
            MbfbOperation::read(dio::kState + port_, 1, kMbfbU16),
        };
        if (!transact(check, 2)) return false;
        const std::uint32_t expected = (high ? ~bit : bit) & width_;
        if (check[1].u16() == expected) return true;
        result_.wrong = true;
        result_.phase = phase;
        result_.step = n;
        result_.read = check[1].u16();
        result_.expected = expected;
        return false;
    }

    bool send(const WriteSet& set) {
        MbfbOperation ops[] = {
            MbfbOperation(dio::kWriteInhibit + port_, 1, kMbfbU16, set.inhibit),
            MbfbOperation(dio::kDirection + port_, 1, kMbfbU16, set.direction),
            MbfbOperation(dio::kState + port_, 1, kMbfbU16, set.state),
        };
        return transact(ops, 3);
    }

    bool transact(MbfbOperation* ops, int count) {
        result_.commError = mbfbTransact(handle_, count, ops);
        return result_.commError == 0;
    }

    std::int32_t handle_;
    int port_;
    std::uint32_t width_;
    PortResult result_;
};

}  // namespace

std::int32_t testDioOperationStep(TestContext* context) {
    context->resultState = Passed;
    if (context->stationFlags & flags::kTestJig) {
        // The jig's wiring ties lines together; the walk needs them free.
        text::copy(context->details, "Not run with the test jig");
        return 0;
    }

    int failedTests = 0;
    for (int pass = 1; pass <= kPasses; ++pass) {
        for (int port = 0; port < dio::kPorts; ++port) {
            const PortResult result = PortTest(context->handle, port).run();
            // A device that stopped answering would cost every later port
            // test its own time-out: stop at the first failed transaction.
            if (result.commError) return failCommError(context, result.commError);
            if (!result.wrong) continue;
            if (++failedTests > 1) continue;  // the first wrong state is the one reported
            context->resultState = Fatal;
            text::format(context->details, "Port %d, pass %d, phase %d, step %d: 0x%02X expected 0x%02X", port, pass,
                         result.phase, result.step, result.read, result.expected);
        }
    }
    if (failedTests == 0) {
        text::format(context->details, "%d passes of %d ports passed", kPasses, dio::kPorts);
    } else {
        text::appendFormat(context->details, " (%d of %d port tests failed)", failedTests, kPasses * dio::kPorts);
    }
    return 0;
}
