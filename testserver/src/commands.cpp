#include "commands.h"

#include <array>
#include <stdexcept>

namespace testserver {

namespace {

constexpr std::array kCommands = {
    CommandInfo{Command::Login, "ID", "login", false,
                "ID DQTestZ6 <version n.nn> DQTJ:<station, 8 hex> PW:<password word, 8 hex>"},
    CommandInfo{Command::Serial, "serial", "serial", true, "serial: a new serial number, 200 0x<16 hex>"},
    CommandInfo{Command::Mac, "mac", "mac", true, "mac: a new MAC address, 200 0x<12 hex>"},
    CommandInfo{Command::Test, "test", "test", true, "test 0x<device, 16 hex> {<rows joined by ;>}"},
    CommandInfo{Command::QTest, "qtest", "qtest", true, "qtest 0x<device, 16 hex> {<rows joined by ;>}"},
    CommandInfo{Command::Cal, "cal", "cal", true, "cal 0x<device, 16 hex> {<NAME:VALUE entries joined by ;>}"},
};

}  // namespace

std::span<const CommandInfo> commands() { return kCommands; }

const CommandInfo& commandInfo(Command command) {
    for (const CommandInfo& info : kCommands) {
        if (info.command == command) return info;
    }
    throw std::logic_error("a command missing from the command table");
}

std::optional<Command> commandNamed(std::string_view name) {
    for (const CommandInfo& info : kCommands) {
        if (info.name == name) return info.command;
    }
    return std::nullopt;
}

std::optional<Command> commandOf(std::string_view line) {
    const std::string_view keyword = line.substr(0, line.find(' '));
    for (const CommandInfo& info : kCommands) {
        if (info.keyword == keyword) return info.command;
    }
    return std::nullopt;
}

}  // namespace testserver
