#include "inprocess_bus.h"

#include "z6/z6_model.h"

#include <algorithm>

namespace z6 {
namespace {

class InProcessLink : public dqm::Link {
public:
    InProcessLink(std::shared_ptr<DeviceSlot> slot, std::shared_ptr<InProcessBus::Traffic> traffic)
        : slot_(std::move(slot)), traffic_(std::move(traffic)) {}

    std::int32_t exchange(const std::uint8_t* request, std::size_t length, std::vector<std::uint8_t>& reply) override {
        if (slot_->model == nullptr) return DQM_ERR_CONNECTION_LOST;  // unplugged
        if (!waitUntilHere(*slot_->model)) return DQM_ERR_CONNECTION_LOST;
        ++traffic_->exchanges;
        reply = slot_->model->handleRequest(request, length);
        if (traffic_->observer) traffic_->observer(request, length);
        return DQM_OK;
    }

private:
    // A device that is restarting is waited for, on its own clock, as the
    // library waits for a real one to come back.
    static bool waitUntilHere(Z6Model& model) {
        int waitedMs = 0;
        while (!model.available()) {
            const std::uint32_t away = model.awayForMs();
            if (waitedMs + static_cast<int>(away) > dqm::kReconnectWindowMs) return false;
            model.clock().sleepMs(away);
            waitedMs += static_cast<int>(away);
        }
        return true;
    }

    std::shared_ptr<DeviceSlot> slot_;
    std::shared_ptr<InProcessBus::Traffic> traffic_;
};

}  // namespace

InProcessBus::InProcessBus() { previous_ = dqm::setConnector(this); }

InProcessBus::~InProcessBus() {
    dqm::setConnector(previous_);
    for (auto& slot : usb_) slot->model = nullptr;
    for (auto& entry : tcp_) entry.second->model = nullptr;
}

void InProcessBus::plugUsb(Z6Model& model) { usb_.push_back(std::make_shared<DeviceSlot>(DeviceSlot{&model})); }

void InProcessBus::unplugUsb(Z6Model& model) {
    const auto it = std::find_if(usb_.begin(), usb_.end(), [&](const auto& slot) { return slot->model == &model; });
    if (it == usb_.end()) return;
    (*it)->model = nullptr;
    usb_.erase(it);
}

void InProcessBus::attachTcp(const std::string& address, Z6Model& model) {
    detachTcp(address);
    tcp_[address] = std::make_shared<DeviceSlot>(DeviceSlot{&model});
}

void InProcessBus::detachTcp(const std::string& address) {
    const auto it = tcp_.find(address);
    if (it == tcp_.end()) return;
    it->second->model = nullptr;
    tcp_.erase(it);
}

std::int32_t InProcessBus::open(dqm::ConnectionType type, const std::string& identifier,
                                std::unique_ptr<dqm::Link>& link) {
    std::shared_ptr<DeviceSlot> slot;
    if (type == dqm::ConnectionType::Usb) {
        if (usb_.empty() || identifier != "DQM_idANY") return DQM_ERR_DEVICE_NOT_FOUND;
        slot = usb_.front();
    } else {
        const auto it = tcp_.find(identifier);
        if (it == tcp_.end()) return DQM_ERR_TCP_NOT_REACHABLE;
        slot = it->second;
    }
    link = std::make_unique<InProcessLink>(slot, traffic_);
    return DQM_OK;
}

}  // namespace z6
