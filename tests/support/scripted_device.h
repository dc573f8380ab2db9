// A device that expects exact requests, in order, and answers each with a
// scripted reply or transport failure. Installed as the device library's
// connector for its lifetime; every expectation must be used.
#pragma once

#include "support/wire_bytes.h"

#include "DaqoraM_transport.h"

#include <cstdint>
#include <deque>
#include <memory>

namespace testing_support {

class ScriptedDevice : public dqm::Connector {
public:
    ScriptedDevice();
    ~ScriptedDevice() override;
    ScriptedDevice(const ScriptedDevice&) = delete;
    ScriptedDevice& operator=(const ScriptedDevice&) = delete;

    // The next request must be exactly request; the reply is given back.
    void expect(const Bytes& request, const Bytes& reply);
    // A feedback request with this body, answered with a feedback reply
    // carrying replyBody (both in hex).
    void expectFeedback(const std::string& requestBody, const std::string& replyBody = "");
    // The next request must be exactly request; the transport fails with code.
    void expectFailure(const Bytes& request, std::int32_t code);

    // A handle to this device, opened through the library.
    std::int32_t handle() const { return handle_; }
    std::size_t pending() const { return script_.size(); }
    int exchanges() const { return exchanges_; }

    std::int32_t open(dqm::ConnectionType type, const std::string& identifier,
                      std::unique_ptr<dqm::Link>& link) override;
    // What the device's link does with a request: check it against the
    // script and hold the scripted reply (or failure) for receive.
    std::int32_t exchange(const std::uint8_t* request, std::size_t length, std::vector<std::uint8_t>& reply);

private:
    struct Step {
        Bytes request;
        Bytes reply;
        std::int32_t failure;
    };
    dqm::Connector* previous_;
    std::deque<Step> script_;
    std::int32_t handle_ = 0;
    int exchanges_ = 0;
};

}  // namespace testing_support
