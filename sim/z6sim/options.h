// z6sim's command line.
#pragma once

#include "service/command_line.h"

#include <netinet/in.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace z6sim {

struct Options {
    bool help = false;
    std::string scenario = "healthy-pro";
    std::filesystem::path scenarioDir;              // default: the source tree's scenarios
    std::optional<std::filesystem::path> stateDir;  // none: nothing is kept across runs
    bool usb = true;
    std::filesystem::path usbBusDir;  // default: $DQM_USB_BUS_DIR, else /tmp/dqm-usb-bus-<uid>
    int usbPort = 0;                  // 1 to 99; 0: the lowest free position
    std::vector<in_addr> listen;      // loopback only; default 127.0.0.2 and 127.0.0.3
    std::uint16_t port = 0;           // default: $DQM_TCP_PORT, else 5502; 0: any free port
};

using OptionError = service::OptionError;

// args without the program name. Reads DQM_USB_BUS_DIR and DQM_TCP_PORT
// for what the command line leaves out. Throws OptionError.
Options parseOptions(const std::vector<std::string>& args);

std::string usageText();

}  // namespace z6sim
