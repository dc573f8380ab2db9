#include "handle_table.h"

#include <limits>

namespace dqm {

std::int32_t HandleTable::add(std::unique_ptr<Link> link) {
    auto session = std::make_shared<DeviceSession>(std::move(link));
    std::lock_guard<std::mutex> lock(mutex_);
    if (next_ == std::numeric_limits<std::int32_t>::max()) return 0;
    const std::int32_t handle = next_++;
    sessions_[handle] = std::move(session);
    return handle;
}

std::shared_ptr<DeviceSession> HandleTable::find(std::int32_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = sessions_.find(handle);
    return it == sessions_.end() ? nullptr : it->second;
}

bool HandleTable::remove(std::int32_t handle) {
    std::shared_ptr<DeviceSession> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = sessions_.find(handle);
        if (it == sessions_.end()) return false;
        closing = std::move(it->second);
        sessions_.erase(it);
    }
    return true;  // the connection closes here, outside the lock
}

HandleTable& handles() {
    static HandleTable table;
    return table;
}

}  // namespace dqm
