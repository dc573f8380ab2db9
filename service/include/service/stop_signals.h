// How a long-running program (z6sim, dqtest-server) learns it should stop:
// SIGINT and SIGTERM become a byte on a pipe that its loop can wait on, and
// SIGPIPE is ignored so that a peer that went away costs only an error.
#pragma once

#include <string>

namespace service {

// False, with errno set, when the signals cannot be set up.
bool installStopSignals();
// Readable once a stop signal came.
int stopSignalDescriptor();
// The name of the signal that came ("SIGINT", "SIGTERM"), read from the pipe.
std::string stopSignalName();
// Blocks until a stop signal comes; its name.
std::string waitForStopSignal();

}  // namespace service
