// The commands a station sends: the word that starts the line, the name
// faults use, and whether a login must come first.
#pragma once

#include "testserver/faults.h"

#include <optional>
#include <span>
#include <string_view>

namespace testserver {

struct CommandInfo {
    Command command;
    std::string_view keyword;  // the line's first word
    std::string_view name;     // in logs and on --fault
    bool needsLogin;
    std::string_view meaning;
};

std::span<const CommandInfo> commands();
const CommandInfo& commandInfo(Command command);
// The command by its name on --fault.
std::optional<Command> commandNamed(std::string_view name);
// Which command a line is, by its first word; nullopt: none the server knows.
std::optional<Command> commandOf(std::string_view line);

}  // namespace testserver
