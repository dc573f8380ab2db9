// dqtest-server: the factory test server, or with "history" a device's
// records from its database.
#include "history_printer.h"
#include "options.h"

#include "service/log_line.h"
#include "service/stop_signals.h"
#include "testserver/server.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

void logLine(const std::string& text) { service::writeLogLine("dqtest-server", text); }

int showHistory(const dqtest_server::HistoryRequest& request) {
    testserver::History history;
    try {
        history = testserver::readHistory(request.database, request.serial);
    } catch (const std::exception& e) {
        logLine(e.what());
        return 1;
    }
    if (history.allocations.empty() && history.runs.empty() && history.calibrations.empty()) {
        logLine("no history for device " + std::to_string(request.serial) + " in " + request.database.string());
    }
    if (request.json) {
        dqtest_server::printHistoryJson(std::cout, request.serial, history);
    } else {
        dqtest_server::printHistoryText(std::cout, request.serial, history);
    }
    std::cout.flush();
    return std::cout ? 0 : 1;
}

int serve(const testserver::Config& config) {
    if (!service::installStopSignals()) {
        logLine(std::string("cannot set up signal handling: ") + std::strerror(errno));
        return 1;
    }
    std::unique_ptr<testserver::Server> server;
    try {
        server = std::make_unique<testserver::Server>(config);
        server->start();
    } catch (const std::invalid_argument& e) {
        logLine(e.what());
        logLine("see dqtest-server --help");
        return 2;
    } catch (const std::exception& e) {
        logLine(e.what());
        return 1;
    }
    logLine("ready");
    logLine(service::waitForStopSignal() + ": stopping");
    server->stop();
    logLine("exit 0");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    dqtest_server::Invocation invocation;
    try {
        invocation = dqtest_server::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const dqtest_server::OptionError& e) {
        logLine(e.what());
        logLine("see dqtest-server --help");
        return 2;
    }
    switch (invocation.mode) {
        case dqtest_server::Invocation::Mode::Help: std::fputs(dqtest_server::usageText().c_str(), stdout); return 0;
        case dqtest_server::Invocation::Mode::History: return showHistory(invocation.history);
        case dqtest_server::Invocation::Mode::Serve: break;
    }
    return serve(invocation.config);
}
