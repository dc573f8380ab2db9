#include "options.h"

#include "commands.h"
#include "connection.h"
#include "fault_actions.h"
#include "reply_status.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <limits>
#include <map>

namespace dqtest_server {

namespace {

using Setter = service::OptionSetter;
using service::parseOptions;

std::uint64_t decimal(const std::string& option, const std::string& text, std::uint64_t max) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value > max) {
        throw OptionError(option + ": \"" + text + "\" is not a whole number from 0 to " + std::to_string(max));
    }
    return value;
}

// Hex digits with or without 0x.
std::uint64_t hex(const std::string& option, const std::string& text, std::size_t maxDigits) {
    std::string_view digits = text;
    if (digits.substr(0, 2) == "0x" || digits.substr(0, 2) == "0X") digits.remove_prefix(2);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || digits.size() > maxDigits || error != std::errc{} || end != digits.data() + digits.size()) {
        throw OptionError(option + ": \"" + text + "\" is not a hex number of at most " + std::to_string(maxDigits) +
                          " digits");
    }
    return value;
}

int milliseconds(const std::string& option, const std::string& text) {
    return static_cast<int>(decimal(option, text, std::numeric_limits<int>::max()));
}

Invocation parseHistory(const std::vector<std::string>& args) {
    Invocation invocation;
    invocation.mode = Invocation::Mode::History;
    HistoryRequest& request = invocation.history;
    bool serialGiven = false;
    const std::map<std::string, Setter> valued = {
        {"--db", [&](const std::string& v) { request.database = v; }},
        {"--serial",
         [&](const std::string& v) {
             request.serial = v.rfind("0x", 0) == 0 ? hex("--serial", v, 16)
                                                    : decimal("--serial", v, std::numeric_limits<std::uint64_t>::max());
             serialGiven = true;
         }},
    };
    const std::map<std::string, service::FlagSetter> flags = {
        {"--json", [&] { request.json = true; }},
        {"--help", [&] { invocation.mode = Invocation::Mode::Help; }},
        {"-h", [&] { invocation.mode = Invocation::Mode::Help; }},
    };
    parseOptions(args, 1, valued, flags);
    if (invocation.mode == Invocation::Mode::History && !serialGiven) throw OptionError("history needs --serial N");
    return invocation;
}

}  // namespace

Invocation parseCommandLine(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "history") return parseHistory(args);

    Invocation invocation;
    testserver::Config& config = invocation.config;
    config.database = kDefaultDatabase;
    const std::map<std::string, Setter> valued = {
        {"--listen", [&](const std::string& v) { config.listenAddress = v; }},
        {"--port",
         [&](const std::string& v) { config.port = static_cast<std::uint16_t>(decimal("--port", v, 65535)); }},
        {"--db", [&](const std::string& v) { config.database = v; }},
        {"--first-serial",
         [&](const std::string& v) {
             config.firstSerial = static_cast<std::uint32_t>(decimal("--first-serial", v, 0xFFFFFFFF));
         }},
        {"--last-serial",
         [&](const std::string& v) {
             config.lastSerial = static_cast<std::uint32_t>(decimal("--last-serial", v, 0xFFFFFFFF));
         }},
        {"--mac-first", [&](const std::string& v) { config.firstMac = hex("--mac-first", v, 16); }},
        {"--mac-last", [&](const std::string& v) { config.lastMac = hex("--mac-last", v, 16); }},
        {"--password",
         [&](const std::string& v) { config.password = static_cast<std::uint32_t>(hex("--password", v, 8)); }},
        {"--idle-timeout-ms",
         [&](const std::string& v) { config.idleTimeoutMs = milliseconds("--idle-timeout-ms", v); }},
        {"--max-connections",
         [&](const std::string& v) { config.maxConnections = milliseconds("--max-connections", v); }},
        {"--fault",
         [&](const std::string& v) {
             try {
                 config.faults.rules.push_back(testserver::parseFault(v));
             } catch (const std::invalid_argument& e) {
                 throw OptionError(std::string("--fault: ") + e.what());
             }
         }},
    };
    const std::map<std::string, service::FlagSetter> flags = {
        {"--help", [&] { invocation.mode = Invocation::Mode::Help; }},
        {"-h", [&] { invocation.mode = Invocation::Mode::Help; }},
    };
    parseOptions(args, 0, valued, flags);
    return invocation;
}

std::string usageText() {
    using namespace testserver;
    std::string text =
        "usage: dqtest-server [options]\n"
        "       dqtest-server history [--db FILE] --serial N [--json]\n"
        "\n"
        "The factory test server: hands out serial numbers and MAC addresses to test\n"
        "stations and stores their logins and reports in an SQLite database. Runs until\n"
        "SIGINT or SIGTERM; every connection, login, allocation, report and error is\n"
        "reported on standard error, one line each.\n"
        "\n"
        "  --listen ADDR          a 127.x.x.x address to listen on (default 127.0.0.1)\n"
        "  --port N               the TCP port (default 5001); 0 takes any free port\n"
        "  --db FILE              the database, created when missing (default " +
        std::string(kDefaultDatabase) +
        ")\n"
        "  --first-serial N       the first serial number handed out (default 470010002)\n"
        "  --last-serial N        the last one (default 480010000)\n"
        "  --mac-first HEX        the MAC block's first address (default 0E5D71100000);\n"
        "  --mac-last HEX         and its last (default 0E5D711FFFFF); the block must lie\n"
        "                         above the devices' default MAC 0E5D71002000\n"
        "  --password HEX         the stations' password word (default 3C61F94E)\n"
        "  --idle-timeout-ms N    close a connection silent this long (default 120000)\n"
        "  --max-connections N    stations served at once; more get 421 (default 64)\n"
        "  --fault FAULT          inject a fault, repeatable; see below\n"
        "  --help                 show this text\n"
        "\n"
        "history prints a device's allocations, runs and calibrations, newest first\n"
        "(--json: as JSON); N is decimal or 0x hex.\n"
        "\n"
        "Commands (one line each, ending CR LF; one reply line each):\n";
    for (const CommandInfo& command : commands()) text += "  " + std::string(command.meaning) + "\n";
    text += "\nReplies: three digits, for serial and mac a space and the value:\n";
    for (const ReplyStatus& status : replyStatuses()) {
        text += "  " + std::to_string(status.status) + "  " + std::string(status.meaning) + "\n";
    }
    text += "Lines are at most " + std::to_string(kMaxLineBytes / 1024) +
            " KiB; a longer one is answered 413 and skipped to its end.\n"
            "\n"
            "Faults, FAULT = ACTION=COMMAND[:VALUE][,times=N]; COMMAND is login, serial, mac,\n"
            "test, qtest, cal or any; times=N applies it to the first N such lines only:\n";
    for (const FaultActionInfo& action : faultActions()) {
        std::string form = std::string(action.name) + "=COMMAND" +
                           (action.valueName.empty() ? "" : ":" + std::string(action.valueName));
        form.resize(std::max<std::size_t>(form.size() + 2, 24), ' ');
        text += "  " + form + std::string(action.meaning) + "\n";
    }
    text +=
        "  e.g. --fault status=login:403 --fault delay=any:1500 --fault close=serial,times=1\n"
        "\n"
        "Exit status: 0 after SIGINT or SIGTERM (and for history), 1 when the server\n"
        "cannot start (port busy, database unusable) or history cannot read the database,\n"
        "2 for a bad command line.\n";
    return text;
}

}  // namespace dqtest_server
