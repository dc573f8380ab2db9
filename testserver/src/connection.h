// Serves one station's connection until it closes, idles too long, or the
// server stops: lines in, one reply each, shaped by the faults in force.
#pragma once

#include "event_log.h"
#include "factory_store.h"
#include "fault_injector.h"
#include "loopback_socket.h"
#include "session.h"

#include <cstddef>

namespace testserver {

inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

struct ConnectionContext {
    FactoryStore& store;
    FaultInjector& faults;
    const SessionSettings& settings;
    EventLog& log;
    int stopFd;
    int idleTimeoutMs;
};

void serveConnection(SocketFd socket, const ConnectionContext& context);

}  // namespace testserver
