// The fault table and the command-line form of a fault.
#include "commands.h"
#include "fault_actions.h"
#include "testserver/faults.h"

#include <array>
#include <charconv>
#include <stdexcept>
#include <string>

namespace testserver {

namespace {

constexpr int kMaxDelayMs = 600000;
constexpr int kMaxTimes = 1000000;

constexpr std::array kActions = {
    FaultActionInfo{FaultAction::Status, "status", "STATUS", 100, 999, "answer STATUS (not 200), do nothing"},
    FaultActionInfo{FaultAction::Close, "close", "", 0, 0, "do it, then close without answering"},
    FaultActionInfo{FaultAction::Delay, "delay", "MS", 1, kMaxDelayMs, "do it, answer after MS ms"},
    FaultActionInfo{FaultAction::Split, "split", "", 0, 0, "do it, answer in two TCP segments 50 ms apart"},
    FaultActionInfo{FaultAction::Silent, "silent", "", 0, 0, "do it, never answer (the idle time-out closes)"},
};

std::optional<int> number(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

[[noreturn]] void refuse(std::string_view text, const std::string& why) {
    throw std::invalid_argument("fault \"" + std::string(text) + "\": " + why);
}

std::string commandNames() {
    std::string names;
    for (const CommandInfo& info : commands()) names += std::string(info.name) + ", ";
    return names + "any";
}

}  // namespace

std::span<const FaultActionInfo> faultActions() { return kActions; }

const FaultActionInfo& faultActionInfo(FaultAction action) {
    for (const FaultActionInfo& info : kActions) {
        if (info.action == action) return info;
    }
    throw std::logic_error("a fault action missing from the fault table");
}

FaultRule parseFault(std::string_view text) {
    FaultRule rule;
    std::string_view rest = text;
    if (const std::size_t comma = rest.find(','); comma != std::string_view::npos) {
        const std::string_view option = rest.substr(comma + 1);
        rest = rest.substr(0, comma);
        constexpr std::string_view kTimes = "times=";
        const auto times =
            option.substr(0, kTimes.size()) == kTimes ? number(option.substr(kTimes.size())) : std::nullopt;
        if (!times || *times < 1 || *times > kMaxTimes) {
            refuse(text, "after the comma only times=N, N from 1 to " + std::to_string(kMaxTimes));
        }
        rule.times = *times;
    }

    const std::size_t equals = rest.find('=');
    if (equals == std::string_view::npos) refuse(text, "not in the form ACTION=COMMAND[:VALUE][,times=N]");
    const std::string_view actionName = rest.substr(0, equals);
    const FaultActionInfo* action = nullptr;
    for (const FaultActionInfo& info : kActions) {
        if (info.name == actionName) action = &info;
    }
    if (action == nullptr)
        refuse(text, "unknown action \"" + std::string(actionName) + "\" (status, close, delay, split, silent)");
    rule.action = action->action;

    std::string_view target = rest.substr(equals + 1);
    std::optional<std::string_view> valueText;
    if (const std::size_t colon = target.find(':'); colon != std::string_view::npos) {
        valueText = target.substr(colon + 1);
        target = target.substr(0, colon);
    }
    if (target != "any") {
        rule.command = commandNamed(target);
        if (!rule.command) refuse(text, "unknown command \"" + std::string(target) + "\" (" + commandNames() + ")");
    }

    if (action->valueName.empty()) {
        if (valueText) refuse(text, std::string(action->name) + " takes no value");
        return rule;
    }
    if (!valueText) refuse(text, std::string(action->name) + " needs :" + std::string(action->valueName));
    const auto value = number(*valueText);
    if (!value || *value < action->minValue || *value > action->maxValue ||
        (rule.action == FaultAction::Status && *value == 200)) {
        refuse(text, std::string(action->valueName) + " must be from " + std::to_string(action->minValue) + " to " +
                         std::to_string(action->maxValue) + (rule.action == FaultAction::Status ? ", not 200" : ""));
    }
    rule.value = *value;
    return rule;
}

std::string describeFault(const FaultRule& rule) {
    const FaultActionInfo& action = faultActionInfo(rule.action);
    std::string text = std::string(action.name) + "=";
    text += rule.command ? std::string(commandInfo(*rule.command).name) : "any";
    if (!action.valueName.empty()) text += ":" + std::to_string(rule.value);
    if (rule.times > 0) text += ",times=" + std::to_string(rule.times);
    return text;
}

}  // namespace testserver
