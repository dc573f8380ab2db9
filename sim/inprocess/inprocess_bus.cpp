#include "inprocess_bus.h"

#include "z6/device_connection.h"
#include "z6/z6_model.h"

#include <deque>

#include <algorithm>

namespace z6 {
namespace {

// A handle's connection to a model. A device that is restarting is waited
// for on its own clock, as the library waits for a real one, and the
// connection made again; stream data comes as the model's clock reaches it.
class InProcessLink : public dqm::Link {
public:
    InProcessLink(std::shared_ptr<DeviceSlot> slot, std::shared_ptr<InProcessBus::Traffic> traffic)
        : slot_(std::move(slot)), traffic_(std::move(traffic)) {}

    std::int32_t send(const std::uint8_t* message, std::size_t length) override {
        Z6Model* model = slot_->model;
        if (model == nullptr) return DQM_ERR_CONNECTION_LOST;  // unplugged
        if (!waitUntilHere(*model)) return DQM_ERR_CONNECTION_LOST;
        if (!connection_ || !connection_->alive()) {  // the device restarted: connect again
            connection_ = std::make_unique<DeviceConnection>(*model);
            inbox_.clear();
        }
        ++traffic_->exchanges;
        if (traffic_->observer) traffic_->observer(message, length);
        std::vector<std::uint8_t> reply = connection_->handle(message, length);
        if (!reply.empty()) inbox_.push_back(std::move(reply));
        return DQM_OK;
    }

    std::int32_t receive(std::vector<std::uint8_t>& message, int timeoutMs) override {
        if (inbox_.empty() && connection_ && slot_->model) {
            const int due = connection_->msUntilDue();
            platform::Clock& clock = slot_->model->clock();
            if (due < 0 || due > timeoutMs) {
                clock.sleepMs(static_cast<std::uint32_t>(timeoutMs));
                return DQM_ERR_TIMEOUT;
            }
            clock.sleepMs(static_cast<std::uint32_t>(due));
            for (auto& frame : connection_->takeDue()) inbox_.push_back(std::move(frame));
        }
        if (inbox_.empty()) return connection_ && connection_->alive() ? DQM_ERR_TIMEOUT : DQM_ERR_CONNECTION_LOST;
        message = std::move(inbox_.front());
        inbox_.pop_front();
        return DQM_OK;
    }

    void drop() override {
        connection_.reset();
        inbox_.clear();
    }

private:
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
    std::unique_ptr<DeviceConnection> connection_;
    std::deque<std::vector<std::uint8_t>> inbox_;
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
