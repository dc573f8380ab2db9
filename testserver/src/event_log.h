// Where the server reports what happens, one line per event.
#pragma once

#include <functional>
#include <mutex>
#include <string_view>

namespace testserver {

class EventLog {
public:
    // An empty sink writes "dqtest-server: " lines to standard error.
    explicit EventLog(std::function<void(std::string_view)> sink);
    void line(std::string_view text);

private:
    std::function<void(std::string_view)> sink_;
    std::mutex mutex_;  // whole lines, never interleaved
};

}  // namespace testserver
