// Z6 models reached in this process: once a bus is installed, the device
// library's opens find its devices, with no sockets and no waiting. Unit
// tests and the in-process station runs use it; the station code is the
// same that talks to a device over USB or TCP.
#pragma once

#include "DaqoraM_transport.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace z6 {

class Z6Model;

// Where a link finds its device; the bus clears it when the device leaves,
// so a link never outlives its device.
struct DeviceSlot {
    Z6Model* model;
};

class InProcessBus : public dqm::Connector {
public:
    // Installs this bus as the device library's connector until destroyed.
    InProcessBus();
    ~InProcessBus() override;
    InProcessBus(const InProcessBus&) = delete;
    InProcessBus& operator=(const InProcessBus&) = delete;

    // USB devices are found in the order they were plugged in.
    void plugUsb(Z6Model& model);
    void unplugUsb(Z6Model& model);
    // A device reachable over TCP at a dotted address.
    void attachTcp(const std::string& address, Z6Model& model);
    void detachTcp(const std::string& address);

    // Requests carried so far, for tests that count transactions.
    std::uint64_t exchanges() const { return traffic_->exchanges; }

    // Called with every request a device answered, after it answered; for
    // tests that look at the traffic (and may unplug the device meanwhile).
    using Observer = std::function<void(const std::uint8_t* request, std::size_t length)>;
    void observe(Observer observer) { traffic_->observer = std::move(observer); }

    // What the bus and its links share; a link may outlive the bus.
    struct Traffic {
        std::uint64_t exchanges = 0;
        Observer observer;
    };

    std::int32_t open(dqm::ConnectionType type, const std::string& identifier,
                      std::unique_ptr<dqm::Link>& link) override;

private:
    dqm::Connector* previous_;
    std::vector<std::shared_ptr<DeviceSlot>> usb_;
    std::map<std::string, std::shared_ptr<DeviceSlot>> tcp_;
    std::shared_ptr<Traffic> traffic_ = std::make_shared<Traffic>();
};

}  // namespace z6
