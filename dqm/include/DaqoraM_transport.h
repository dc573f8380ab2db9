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

// A handle survives a device restart: while its device is away, a request
// waits up to this long for it to come back (and the transport reconnects)
// before it fails with DQM_ERR_CONNECTION_LOST.
constexpr int kReconnectWindowMs = 10000;

// One open connection to one device.
class Link {
public:
    virtual ~Link() = default;
    // Sends one request (a whole Modbus TCP message: header and PDU) and
    // receives the device's whole reply. Returns DQM_OK or a library code.
    virtual std::int32_t exchange(const std::uint8_t* request, std::size_t length,
                                  std::vector<std::uint8_t>& reply) = 0;
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

// Routes later opens through connector; nullptr goes back to the built-in
// transports. Returns the connector that was in use (nullptr: built-in).
// Handles already open keep the link they were opened with.
DQM_API Connector* setConnector(Connector* connector);

}  // namespace dqm
