// The library's open handles. Handles count up from 1 and are not reused,
// so a stale handle can never reach another device.
#pragma once

#include "device_session.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace dqm {

class HandleTable {
public:
    // 0 when no handle is left.
    std::int32_t add(std::unique_ptr<Link> link);
    // The session of an open handle, or null. It stays valid for the holder
    // even if the handle is closed meanwhile.
    std::shared_ptr<DeviceSession> find(std::int32_t handle);
    bool remove(std::int32_t handle);

private:
    std::mutex mutex_;
    std::map<std::int32_t, std::shared_ptr<DeviceSession>> sessions_;
    std::int32_t next_ = 1;
};

HandleTable& handles();

}  // namespace dqm
