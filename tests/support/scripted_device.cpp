#include "support/scripted_device.h"

#include <gtest/gtest.h>

#include <utility>

namespace testing_support {
namespace {

class ScriptedLink : public dqm::Link {
public:
    explicit ScriptedLink(ScriptedDevice& device) : device_(device) {}
    std::int32_t send(const std::uint8_t* request, std::size_t length) override {
        pending_ = device_.exchange(request, length, reply_);
        return DQM_OK;
    }
    std::int32_t receive(std::vector<std::uint8_t>& message, int) override {
        if (pending_ != DQM_OK) return std::exchange(pending_, DQM_ERR_TIMEOUT);
        if (reply_.empty()) return DQM_ERR_TIMEOUT;
        message = std::move(reply_);
        reply_.clear();
        return DQM_OK;
    }
    void drop() override { reply_.clear(); }

private:
    ScriptedDevice& device_;
    std::int32_t pending_ = DQM_OK;
    std::vector<std::uint8_t> reply_;
};

}  // namespace

ScriptedDevice::ScriptedDevice() {
    previous_ = dqm::setConnector(this);
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &handle_), DQM_OK);
}

ScriptedDevice::~ScriptedDevice() {
    DQM_Close(handle_);
    dqm::setConnector(previous_);
    for (const Step& step : script_) ADD_FAILURE() << "expected request never sent: " << toHex(step.request);
}

void ScriptedDevice::expect(const Bytes& request, const Bytes& reply) { script_.push_back({request, reply, 0}); }

void ScriptedDevice::expectFeedback(const std::string& requestBody, const std::string& replyBody) {
    expect(feedbackMessage(requestBody), feedbackMessage(replyBody));
}

void ScriptedDevice::expectFailure(const Bytes& request, std::int32_t code) {
    script_.push_back({request, {}, code});
}

std::int32_t ScriptedDevice::open(dqm::ConnectionType, const std::string&, std::unique_ptr<dqm::Link>& link) {
    link = std::make_unique<ScriptedLink>(*this);
    return DQM_OK;
}

std::int32_t ScriptedDevice::exchange(const std::uint8_t* request, std::size_t length, std::vector<std::uint8_t>& reply) {
    ++exchanges_;
    const Bytes sent(request, request + length);
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected request: " << toHex(sent);
        return DQM_ERR_CONNECTION_LOST;
    }
    const Step step = script_.front();
    script_.pop_front();
    EXPECT_EQ(toHex(sent), toHex(step.request)) << "request " << exchanges_;
    if (step.failure) return step.failure;
    reply = step.reply;
    return DQM_OK;
}

}  // namespace testing_support
