// DaqoraM transports: how the library reaches a device. The library checks
// every request and reply itself; a transport only moves whole Modbus TCP
// messages. The built-in transports reach devices on the USB bus and over
// TCP; a program or test may route the library through its own connector,
// for example to a device model in the same process.
#pragma once

#include "DaqoraM.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dqm {

enum class ConnectionType { Usb, Tcp };

// Time limits of the built-in transports, in milliseconds.
// A handle survives a device restart: while its device is away, a request
// waits up to kReconnectWindowMs for it to come back (reconnecting to the
// same USB bus position or TCP address) before it fails with
// DQM_ERR_CONNECTION_LOST.
constexpr int kReconnectWindowMs = 10000;
constexpr int kReconnectPollMs = 100;
// Opening a TCP connection: a device that neither accepts nor refuses in
// this time is not reachable (DQM_ERR_TCP_NOT_REACHABLE).
constexpr int kConnectTimeoutMs = 2000;
// A reply must be complete this long after its request was sent, else
// DQM_ERR_TIMEOUT.
constexpr int kReplyTimeoutMs = 3000;

// One open connection to one device, carrying whole Modbus TCP messages
// (header and PDU) both ways. The device may also send stream data on its
// own; the library sorts replies from stream data.
class Link {
public:
    virtual ~Link() = default;
    // Sends one whole message. A connection the device dropped is made again
    // first, waiting at most kReconnectWindowMs. Returns DQM_OK or a code.
    virtual std::int32_t send(const std::uint8_t* message, std::size_t length) = 0;
    // Receives the next whole message, waiting at most timeoutMs:
    // DQM_ERR_TIMEOUT when none came, DQM_ERR_CONNECTION_LOST when the device
    // dropped the connection.
    virtual std::int32_t receive(std::vector<std::uint8_t>& message, int timeoutMs) = 0;
    // Gives up the connection after the exchange went wrong, so that the
    // next send starts on a fresh one.
    virtual void drop() = 0;
};

// Finds devices and opens links to them.
class Connector {
public:
    virtual ~Connector() = default;
    // identifier: "DQM_idANY" or a device address for TCP. On DQM_OK, link
    // holds the open connection.
    virtual std::int32_t open(ConnectionType type, const std::string& identifier,
                              std::unique_ptr<Link>& link) = 0;
};

// The connector of the built-in transports: the USB bus directory
// (DQM_USB_BUS_DIR, default /tmp/dqm-usb-bus-<uid>) and TCP to the port in
// DQM_TCP_PORT (default 5502).
DQM_API Connector& builtInConnector();

// Routes later opens through connector; nullptr goes back to the built-in
// transports. Returns the connector that was in use (nullptr: built-in).
// Handles already open keep the link they were opened with.
DQM_API Connector* setConnector(Connector* connector);

}  // namespace dqm
