#include "support/station_run.h"

#include "support/recording_console.h"
#include "support/redirected_sockets.h"
#include "support/scoped_clock.h"
#include "support/station_files.h"
#include "support/temp_dir.h"

#include "inprocess_bus.h"
#include "sequencer/test_suite.h"
#include "testserver/server.h"
#include "z6/scenario.h"
#include "z6/z6_model.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace testing_support {

const StationRow& StationRun::row(const std::string& name) const {
    for (const StationRow& r : rows)
        if (r.name == name) return r;
    ADD_FAILURE() << "no row named " << name;
    static const StationRow missing{"", NotYetRun, ""};
    return missing;
}

bool StationRun::has(const std::string& name) const {
    for (const StationRow& r : rows)
        if (r.name == name) return true;
    return false;
}

StationRun runStation(const std::string& scenario, const StationOptions& options) {
    ScopedClock<> clock;
    RecordingConsole console;
    z6::Z6Model model(z6::loadScenario(scenario), clock.clock);
    if (!options.deviceState.empty()) model.loadState(options.deviceState);
    if (options.prepare) options.prepare(model);

    std::optional<TempDir> freshDatabase;
    if (options.database.empty()) freshDatabase.emplace("database");
    testserver::Config config;
    config.port = 0;
    config.database = options.database.empty() ? freshDatabase->path() / "dqtest-server.db" : options.database;
    config.log = [](std::string_view) {};
    testserver::Server server(config);
    RedirectedSockets sockets(server.start());

    z6::InProcessBus bus;
    bus.plugUsb(model);
    std::optional<TempDir> emptyDirectory;
    if (options.workingDirectory.empty()) {
        emptyDirectory.emplace("station");
        if (options.stationFiles) writeStationFiles(emptyDirectory->path());
    }
    ScopedWorkingDirectory inside(options.workingDirectory.empty() ? emptyDirectory->path()
                                                                    : options.workingDirectory);

    auto suite = std::make_unique<TestSuite>();
    suite->init(options.stationFlags);
    suite->run();

    StationRun run;
    for (int i = 0; i < suite->context.testCount; ++i) {
        const TestRecord& record = suite->records[i];
        run.rows.push_back({record.name, record.state, record.details});
    }
    run.overallResult = suite->overallResult;
    run.console = console.output();
    run.virtualMs = clock.clock.elapsedMs();
    run.transactions = bus.exchanges();

    // The final step closes what it opened; a run that ended early may not
    // have, and its handles must not outlive this device.
    DQM_Close(suite->context.usbHandle);
    DQM_Close(suite->context.ethHandle);
    DQM_Close(suite->context.wifiHandle);
    if (!options.deviceState.empty()) model.saveState(options.deviceState);
    return run;
}

}  // namespace testing_support
