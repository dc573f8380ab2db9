#include "fault_injector.h"

#include <algorithm>

namespace testserver {

namespace {

constexpr int kMaxTotalDelayMs = 600000;

}  // namespace

FaultInjector::FaultInjector(const Faults& faults)
    : rules_(faults.rules), uses_(std::make_unique<std::atomic<int>[]>(rules_.size())) {}

FaultPlan FaultInjector::planFor(Command command) {
    FaultPlan plan;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        const FaultRule& rule = rules_[i];
        if (rule.command && *rule.command != command) continue;
        if (rule.action == FaultAction::Status && plan.status) continue;  // the first status rule wins
        // Read first, so that the count stops growing once the rule is spent.
        if (rule.times > 0 && (uses_[i].load() >= rule.times || uses_[i].fetch_add(1) >= rule.times)) continue;
        switch (rule.action) {
            case FaultAction::Status: plan.status = rule.value; break;
            case FaultAction::Close: plan.close = true; break;
            case FaultAction::Delay: plan.delayMs = std::min(plan.delayMs + rule.value, kMaxTotalDelayMs); break;
            case FaultAction::Split: plan.split = true; break;
            case FaultAction::Silent: plan.silent = true; break;
        }
        plan.applied.push_back(describeFault(rule));
    }
    return plan;
}

}  // namespace testserver
