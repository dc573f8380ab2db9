// What a configuration must satisfy before the server touches anything.
#pragma once

#include "testserver/server.h"

namespace testserver {

// Throws std::invalid_argument saying what is wrong.
void checkConfig(const Config& config);

}  // namespace testserver
