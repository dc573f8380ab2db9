// z6sim: one simulated Daqora Z6 in its own process, reachable over the
// simulated USB bus and TCP the way the DQM library reaches real devices.
#include "event_log.h"
#include "options.h"
#include "z6_server.h"

#include "platform/clock.h"
#include "service/stop_signals.h"
#include "z6/scenario.h"
#include "z6/state_store.h"
#include "z6/z6_model.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace {

bool holdsState(const std::filesystem::path& dir) {
    std::error_code ignored;
    return std::filesystem::exists(dir / z6::kFlashImageFile, ignored) ||
           std::filesystem::exists(dir / z6::kSettingsFile, ignored);
}

}  // namespace

int main(int argc, char** argv) {
    using z6sim::logEvent;

    z6sim::Options options;
    try {
        options = z6sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const z6sim::OptionError& e) {
        logEvent(e.what());
        logEvent("see z6sim --help");
        return 2;
    }
    if (options.help) {
        std::fputs(z6sim::usageText().c_str(), stdout);
        return 0;
    }
    if (!service::installStopSignals()) {
        logEvent(std::string("cannot set up signal handling: ") + std::strerror(errno));
        return 1;
    }

    z6::Scenario scenario;
    try {
        scenario = z6::loadScenario(options.scenario, options.scenarioDir);
    } catch (const z6::ScenarioError& e) {
        logEvent(std::string("--scenario: ") + e.what());
        return 2;
    }
    logEvent("scenario " + scenario.name);

    z6::Z6Model model(scenario, platform::systemClock());
    if (options.stateDir) {
        const bool held = holdsState(*options.stateDir);
        try {
            model.loadState(*options.stateDir);
        } catch (const z6::StateError& e) {
            logEvent("cannot load state from " + options.stateDir->string() + ": " + e.what());
            return 1;
        }
        logEvent("state " + options.stateDir->string() + (held ? "" : " (factory-new)"));
    }
    model.onFault([](std::string_view fault) { logEvent("fault: " + std::string(fault)); });

    z6sim::ServerSettings settings;
    settings.usb = options.usb;
    settings.usbBusDir = options.usbBusDir;
    settings.usbPort = options.usbPort;
    settings.listen = options.listen;
    settings.port = options.port;
    settings.stateDir = options.stateDir;

    z6sim::Z6Server server(model, settings);
    try {
        server.start();
    } catch (const z6sim::StartError& e) {
        logEvent(e.what());
        return 1;
    }
    logEvent("ready");

    int status = 0;
    try {
        server.run(service::stopSignalDescriptor());
        logEvent(service::stopSignalName() + ": stopping");
    } catch (const std::exception& e) {
        logEvent(std::string("stopping: ") + e.what());
        status = 1;
    }
    if (!server.shutdown()) status = 1;
    logEvent("exit " + std::to_string(status));
    return status;
}
