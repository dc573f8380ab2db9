// "Connect to DQTest Server": creates the run's client at once, so that the
// later steps always find one, and logs in.
#include "sequencer/steps.h"
#include "server/server_client.h"

#include <memory>

namespace {

constexpr double kReportVersion = 0.65;  // the version the results table shows
constexpr std::uint32_t kStationJigId = 0x1702;
constexpr std::uint32_t kPasswordWord = 0x3C61F94E;

}  // namespace

std::int32_t connectToServerStep(TestContext* context) {
    context->serverClient = std::make_unique<ServerClient>();
    const int result = context->serverClient->login({"DQTestZ6", kReportVersion, kStationJigId, kPasswordWord});
    if (result == 0) {
        context->resultState = Passed;
        text::copy(context->details, "Connected to Server");
    } else {
        context->resultState = Fatal;
        text::format(context->details, "Connection Error (%i)", result);
    }
    return 0;
}
