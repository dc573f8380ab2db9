// A program's report on standard error: one line per event, "name: text",
// written whole in one write so that lines of several threads never mix.
#pragma once

#include <string_view>

namespace service {

void writeLogLine(std::string_view program, std::string_view text);

}  // namespace service
