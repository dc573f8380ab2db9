#include "event_log.h"

#include "service/log_line.h"

#include <utility>

namespace testserver {

EventLog::EventLog(std::function<void(std::string_view)> sink) : sink_(std::move(sink)) {
    if (!sink_) sink_ = [](std::string_view text) { service::writeLogLine("dqtest-server", text); };
}

void EventLog::line(std::string_view text) {
    const std::lock_guard lock(mutex_);
    sink_(text);
}

}  // namespace testserver
