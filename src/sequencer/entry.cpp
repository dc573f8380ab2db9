#include "sequencer/entry.h"

#include "platform/console.h"
#include "sequencer/console_io.h"
#include "sequencer/station_flags.h"
#include "sequencer/test_suite.h"

#include "DaqoraM.h"

#include <memory>

namespace {
// Wide enough for the results table, tall enough for the default list.
constexpr int kWindowX = 0;
constexpr int kWindowY = 0;
constexpr int kWindowWidth = 840;
constexpr int kWindowHeight = 680;
}  // namespace

int dqtestMain() { return dqtestMain(flags::kDefault); }

int dqtestMain(std::uint32_t stationFlags) {
    platform::console().placeWindow(kWindowX, kWindowY, kWindowWidth, kWindowHeight);

    double libraryVersion = 0.0;
    DQM_ReadLibraryConfigS("DQM_LIBRARY_VERSION", &libraryVersion);  // a failure leaves 0.0
    print("DQM Version = %f\r\n\r\n", libraryVersion);

    auto suite = std::make_unique<TestSuite>();
    suite->init(stationFlags);
    suite->run();

    print("Press Enter key to contine");
    char answer[1];
    readInput(answer, sizeof answer);  // returns at once at end of input
    return 0;
}
