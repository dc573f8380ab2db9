#include "handle_table.h"

#include <limits>

namespace dqm {

std::int32_t HandleTable::add(std::unique_ptr<Link> link) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (next_ == std::numeric_limits<std::int32_t>::max()) return 0;
    const std::int32_t handle = next_++;
    links_[handle] = std::move(link);
    return handle;
}

Link* HandleTable::find(std::int32_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = links_.find(handle);
    return it == links_.end() ? nullptr : it->second.get();
}

bool HandleTable::remove(std::int32_t handle) {
    std::unique_ptr<Link> closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = links_.find(handle);
        if (it == links_.end()) return false;
        closing = std::move(it->second);
        links_.erase(it);
    }
    return true;  // the link closes here, outside the lock
}

HandleTable& handles() {
    static HandleTable table;
    return table;
}

}  // namespace dqm
