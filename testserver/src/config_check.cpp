#include "config_check.h"

#include "fault_actions.h"
#include "loopback_socket.h"
#include "wire_text.h"

#include <stdexcept>
#include <string>

namespace testserver {

namespace {

constexpr int kMaxIdleTimeoutMs = 24 * 3600 * 1000;
constexpr int kMaxConnections = 1024;
constexpr int kMaxBusyTimeoutMs = 600000;

void require(bool ok, const std::string& what) {
    if (!ok) throw std::invalid_argument(what);
}

void checkFault(const FaultRule& rule) {
    const FaultActionInfo& action = faultActionInfo(rule.action);
    const std::string named = "fault " + describeFault(rule);
    require(rule.times >= 0, named + ": times must not be negative");
    if (action.valueName.empty()) return;
    require(rule.value >= action.minValue && rule.value <= action.maxValue,
            named + ": " + std::string(action.valueName) + " must be from " + std::to_string(action.minValue) + " to " +
                std::to_string(action.maxValue));
    require(rule.action != FaultAction::Status || rule.value != 200, named + ": a fault's status cannot be 200");
}

}  // namespace

void checkConfig(const Config& config) {
    require(parseLoopbackAddress(config.listenAddress).has_value(),
            "listen address \"" + config.listenAddress +
                "\" is not a 127.x.x.x address; the server listens only on loopback");
    require(!config.database.empty(), "no database file given");
    require(config.firstSerial >= 1 && config.firstSerial <= config.lastSerial,
            "serial range " + std::to_string(config.firstSerial) + " to " + std::to_string(config.lastSerial) +
                " is empty or starts at 0");
    const std::string macs = "MAC block " + hexValue(config.firstMac, 12) + " to " + hexValue(config.lastMac, 12);
    require(config.firstMac <= config.lastMac, macs + " is empty");
    require(config.firstMac > kDeviceDefaultMac,
            macs + " is not entirely above the devices' default MAC " + hexValue(kDeviceDefaultMac, 12));
    require(config.lastMac <= kLastMac, macs + " goes beyond 48 bits");
    require(config.idleTimeoutMs >= 1 && config.idleTimeoutMs <= kMaxIdleTimeoutMs,
            "idle time-out " + std::to_string(config.idleTimeoutMs) + " ms is not from 1 ms to 24 h");
    require(config.maxConnections >= 1 && config.maxConnections <= kMaxConnections,
            "connection limit " + std::to_string(config.maxConnections) + " is not from 1 to " +
                std::to_string(kMaxConnections));
    require(config.busyTimeoutMs >= 0 && config.busyTimeoutMs <= kMaxBusyTimeoutMs,
            "database busy time-out " + std::to_string(config.busyTimeoutMs) + " ms is not from 0 to 10 min");
    for (const FaultRule& rule : config.faults.rules) checkFault(rule);
}

}  // namespace testserver
