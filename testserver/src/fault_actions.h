// The fault actions by their names on --fault, and what each takes.
#pragma once

#include "testserver/faults.h"

#include <span>
#include <string_view>

namespace testserver {

struct FaultActionInfo {
    FaultAction action;
    std::string_view name;
    std::string_view valueName;  // empty: takes no value
    int minValue;
    int maxValue;
    std::string_view meaning;
};

std::span<const FaultActionInfo> faultActions();
const FaultActionInfo& faultActionInfo(FaultAction action);

}  // namespace testserver
