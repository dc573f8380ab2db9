// One open handle: its link to the device, the exchange of a request for
// its reply, and the stream the device may be sending.
#pragma once

#include "DaqoraM_transport.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace dqm {

class DeviceSession {
public:
    explicit DeviceSession(std::unique_ptr<Link> link) : link_(std::move(link)) {}

    // A feedback request in buffer (DQM_MBFB_BUFFER_SIZE bytes); on DQM_OK
    // the checked reply is there.
    std::int32_t feedback(std::uint8_t* buffer);
    // dataType: 0 uint16, 1 uint32, 2 int32, 3 float.
    std::int32_t readAddress(std::int32_t address, std::int32_t dataType, double& value);

    std::int32_t streamStart(std::int32_t scansPerRead, std::int32_t addressCount, const std::int32_t* addresses,
                             double& scanRate);
    std::int32_t streamRead(double* data, std::int32_t& deviceBacklog, std::int32_t& libraryBacklog);
    std::int32_t streamStop();

private:
    // Sends request and waits for its reply (expectedLength bytes unless the
    // device answers with an exception), keeping stream data that arrives
    // meanwhile.
    std::int32_t exchange(const std::uint8_t* request, std::size_t length, std::size_t expectedLength,
                          std::vector<std::uint8_t>& reply);
    // Takes stream data into the buffer; false when it does not fit the scan list.
    bool keepStreamData(const std::vector<std::uint8_t>& message);
    std::int32_t streamControl(std::uint8_t action, float rate, const std::vector<std::uint16_t>& addresses,
                               float& rateInUse);

    std::unique_ptr<Link> link_;
    bool streaming_ = false;
    std::size_t scansPerRead_ = 0;
    std::size_t valuesPerScan_ = 0;
    double scanRate_ = 0.0;
    std::deque<double> streamValues_;  // whole scans, oldest first
};

}  // namespace dqm
