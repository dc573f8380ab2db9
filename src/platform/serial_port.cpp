// What every platform's serial ports share: the pacing of a polled count.
#include "platform/serial_port.h"

#include "platform/clock.h"

namespace platform {

bool SerialPorts::bytesWaiting(SerialHandle port, std::uint32_t& count) {
    bool known = countWaiting(port, count);
    if (port == lastQueried_ && known && count == lastCount_) {
        sleepMs(1);
        known = countWaiting(port, count);
    }
    lastQueried_ = port;
    lastCount_ = known ? count : 0;
    return known;
}

}  // namespace platform
