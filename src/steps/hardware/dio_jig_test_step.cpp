// "DIO Jig Test": drives fixed patterns on ports 1 to 3 and compares what the
// lines read back through the jig's wiring with the value each pattern must
// give. The first pattern that reads back wrong is Fatal.
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "steps/hardware/digital_io.h"

namespace {

// One row: states written to ports 1 to 3, their directions, the value read
// back (port 3, 2 and 1 from the high byte down) and the text naming it.
struct DioJigPattern {
    std::uint16_t state[3];
    std::uint16_t direction[3];
    std::uint32_t expected;
    const char* messageFormat;
};

constexpr DioJigPattern dioJigPatterns[] = {
    {{0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, 0x070F7F, "All input: 0x%08X"},
    {{0x00, 0x00, 0x00}, {0x15, 0x05, 0x07}, 0x000040, "E/C/M 0,2,4 output low: 0x%08X"},
    {{0x15, 0x05, 0x00}, {0x15, 0x05, 0x01}, 0x000F7F, "E/C/M 0,2,4 output high: 0x%08X"},
    {{0x00, 0x00, 0x00}, {0x2A, 0x0A, 0x07}, 0x000040, "E/C/M 1,3,5 output low: 0x%08X"},
    {{0x2A, 0x0A, 0x00}, {0x2A, 0x0A, 0x02}, 0x000F7F, "E/C/M 1,3,5 output high: 0x%08X"},
    {{0x00, 0x00, 0x00}, {0x00, 0x00, 0x07}, 0x000F7F, "MIO 2, output low: 0x%08X"},
    {{0x00, 0x00, 0x00}, {0x00, 0x00, 0x04}, 0x000F7F, "MIO 2, output high: 0x%08X"},
    {{0x00, 0x00, 0x00}, {0x00, 0x00, 0x00}, 0x070F7F, "All input: 0x%08X"},
};

}  // namespace

std::int32_t dioJigTestStep(TestContext* context) {
    context->resultState = Passed;
    for (const DioJigPattern& row : dioJigPatterns) {
        MbfbOperation ops[7];
        for (int port = 1; port < dio::kPorts; ++port) {
            ops[port - 1] = MbfbOperation(dio::kState + port, 1, kMbfbU16, row.state[port - 1]);
            ops[port + 2] = MbfbOperation(dio::kDirection + port, 1, kMbfbU16, row.direction[port - 1]);
        }
        ops[6] = dio::readAllStates();
        if (const std::int32_t code = mbfbTransact(context->handle, 7, ops)) return failCommError(context, code);

        // Port 0 carries the jig code and takes no part.
        const std::uint32_t value =
            dio::portLevels(ops[6], 3) * 65536 + dio::portLevels(ops[6], 2) * 256 + dio::portLevels(ops[6], 1);
        if (value != row.expected) {
            context->resultState = Fatal;
            text::format(context->details, row.messageFormat, value);
            return 0;
        }
    }
    text::copy(context->details, "8 tests passed");
    return 0;
}
