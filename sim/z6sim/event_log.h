// z6sim reports on standard error, one line per event, each written whole.
#pragma once

#include <string_view>

namespace z6sim {

// Writes "z6sim: " text and a newline in one write.
void logEvent(std::string_view text);

}  // namespace z6sim
