// The library's open connections, by handle. Handles count up from 1 and
// are not reused, so a stale handle can never reach another device.
#pragma once

#include "DaqoraM_transport.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace dqm {

class HandleTable {
public:
    std::int32_t add(std::unique_ptr<Link> link);
    // The link of an open handle, or null. The link stays valid while the
    // handle is open; the library is used from one thread per handle.
    Link* find(std::int32_t handle);
    bool remove(std::int32_t handle);

private:
    std::mutex mutex_;
    std::map<std::int32_t, std::unique_ptr<Link>> links_;
    std::int32_t next_ = 1;
};

HandleTable& handles();

}  // namespace dqm
