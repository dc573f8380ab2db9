// Decides, line by line, which configured faults apply; a rule limited to a
// number of times counts the lines of every connection.
#pragma once

#include "testserver/faults.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testserver {

struct FaultPlan {
    std::optional<int> status;  // answer this instead of carrying the command out
    int delayMs = 0;
    bool close = false;
    bool silent = false;
    bool split = false;
    std::vector<std::string> applied;  // the rules used, in their command-line form, for the log
};

class FaultInjector {
public:
    explicit FaultInjector(const Faults& faults);
    // Takes one use of every rule that matches.
    FaultPlan planFor(Command command);

private:
    std::vector<FaultRule> rules_;
    std::unique_ptr<std::atomic<int>[]> uses_;
};

}  // namespace testserver
