// A device's history for people (text) and for programs (JSON).
#pragma once

#include "testserver/history.h"

#include <cstdint>
#include <ostream>

namespace dqtest_server {

void printHistoryText(std::ostream& out, std::uint64_t deviceId, const testserver::History& history);
// Texts are 8-bit as stations sent them; JSON gets them as Latin-1 turned into UTF-8.
void printHistoryJson(std::ostream& out, std::uint64_t deviceId, const testserver::History& history);

}  // namespace dqtest_server
