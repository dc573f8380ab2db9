#include "event_log.h"

#include "service/log_line.h"

namespace z6sim {

void logEvent(std::string_view text) { service::writeLogLine("z6sim", text); }

}  // namespace z6sim
