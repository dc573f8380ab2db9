#include "harness.h"

#include <cstdio>
#include <map>
#include <sstream>

namespace e2e {

namespace {

ResultState stateFromText(const std::string& text) {
    static const std::map<std::string, ResultState> states = {
        {"-", NotYetRun}, {"Running", Running}, {"Passed", Passed}, {"Warning", Warning},
        {"Error", Error}, {"Fatal", Fatal},     {"Skipped", Skipped},
    };
    const auto it = states.find(text);
    return it == states.end() ? static_cast<ResultState>(-1) : it->second;
}

std::string trimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
}

StationResult runProgram(const char* program, const std::vector<std::string>& arguments, const fs::path& stationDir,
                         const fs::path& busDir, std::uint16_t tcpPort, std::chrono::seconds timeout) {
    SimProcess station(program, arguments,
                       {stationDir, {{"DQM_USB_BUS_DIR", busDir.string()}, {"DQM_TCP_PORT", std::to_string(tcpPort)}}});
    const std::optional<int> status =
        station.waitExit(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count()));
    StationResult result = parseConsole(station.output());
    result.exitStatus = status.value_or(-1);
    return result;
}

}  // namespace

Z6Sim::Z6Sim(const fs::path& bus, const fs::path& state, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--usb-bus", bus.string(), "--state", state.string(), "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    bool listenGiven = false;
    for (const std::string& arg : extra) listenGiven |= arg == "--listen";
    if (!listenGiven) args.insert(args.end(), {"--listen", "127.0.0.2"});
    process_ = std::make_unique<SimProcess>(Z6SIM_PROGRAM, args);
    ready_ = process_->waitForLine("z6sim: ready", kStartMs).has_value();
    if (const auto line = process_->waitForLine("z6sim: listening 127.0.0.2:", 0))
        port_ = static_cast<std::uint16_t>(std::stoi(line->substr(line->rfind(':') + 1)));
    if (const auto line = process_->waitForLine("z6sim: usb ", 0)) usbPath_ = line->substr(line->find('/'));
}

TestServerProcess::TestServerProcess(const fs::path& dir, std::uint16_t port, std::vector<std::string> extra)
    : database_(dir / "dqtest-server.db") {
    std::vector<std::string> args = {"--db", database_.string(), "--port", std::to_string(port)};
    args.insert(args.end(), extra.begin(), extra.end());
    process_ = std::make_unique<SimProcess>(DQTEST_SERVER_PROGRAM, args);
    ready_ = process_->waitForLine("dqtest-server: ready", kStartMs).has_value();
    if (const auto line = process_->waitForLine("dqtest-server: listening 127.0.0.1:", 0))
        port_ = static_cast<std::uint16_t>(std::stoi(line->substr(line->rfind(':') + 1)));
}

const Row* StationResult::row(const std::string& name) const {
    for (const Row& r : rows)
        if (r.name == name) return &r;
    return nullptr;
}

StationResult parseConsole(const std::string& console) {
    StationResult result;
    result.console = console;
    const std::size_t header = console.rfind("-TEST-");
    if (header == std::string::npos) return result;
    const std::string overallLabel = "Overall Result:           ";
    const std::size_t overall = console.rfind(overallLabel, header);
    if (overall != std::string::npos) {
        const std::size_t from = overall + overallLabel.size();
        result.overallResult = trimRight(console.substr(from, console.find('\n', from) - from));
    }
    // Rows: a blank, the name padded to 28, the state padded to 12, details.
    std::istringstream lines(console.substr(console.find('\n', header) + 1));
    std::string line;
    while (std::getline(lines, line)) {
        line = trimRight(line);
        if (line.size() < 29 || line[0] != ' ') break;
        const std::string rest = line.substr(29);
        result.rows.push_back({trimRight(line.substr(1, 28)), stateFromText(rest.substr(0, rest.find(' '))),
                               rest.size() > 12 ? rest.substr(12) : ""});
    }
    return result;
}

StationResult runStation(const fs::path& stationDir, const fs::path& busDir, std::uint16_t tcpPort,
                         std::chrono::seconds timeout) {
    return runProgram(DQTEST_PROGRAM, {}, stationDir, busDir, tcpPort, timeout);
}

StationResult runStation(const fs::path& stationDir, const fs::path& busDir, std::uint16_t tcpPort,
                         std::uint32_t stationFlags, std::chrono::seconds timeout) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%X", stationFlags);
    return runProgram(DQTEST_WITH_FLAGS_PROGRAM, {flags}, stationDir, busDir, tcpPort, timeout);
}

}  // namespace e2e
