// Faults the test server can be told to inject, so that a station's handling
// of a misbehaving server can be tested: a small table of per-command
// actions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

// What a station sends, in the order of a run.
enum class Command { Login, Serial, Mac, Test, QTest, Cal };

enum class FaultAction {
    Status,  // answer FaultRule::value instead of carrying the command out
    Close,   // carry it out, then close the connection without answering
    Delay,   // carry it out, answer after FaultRule::value milliseconds
    Split,   // carry it out, answer in two TCP segments about 50 ms apart
    Silent,  // carry it out, never answer; the connection stays open
};

struct FaultRule {
    FaultAction action = FaultAction::Status;
    std::optional<Command> command;  // nullopt: any command
    int value = 0;                   // Status: the status (three digits, not 200); Delay: milliseconds
    int times = 0;                   // only the first `times` matching lines the server gets; 0: every one
};

// Every matching rule applies to a line: a status replaces the reply, delays
// add up, then close wins over silent, and split shapes what is sent.
struct Faults {
    std::vector<FaultRule> rules;
};

// The command-line form: ACTION=COMMAND[:VALUE][,times=N], for example
// "status=serial:404", "close=mac", "delay=any:1500", "split=login",
// "silent=cal,times=1". Throws std::invalid_argument saying what is wrong.
FaultRule parseFault(std::string_view text);
// The same rule in the command-line form.
std::string describeFault(const FaultRule& rule);

}  // namespace testserver
