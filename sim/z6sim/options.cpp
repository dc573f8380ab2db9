#include "options.h"

#include "socket_util.h"

#include "z6/power.h"
#include "z6/scenario.h"
#include "z6_wire.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace z6sim {

namespace {

// A whole decimal number from min to max, or nullopt.
std::optional<long> parseNumber(const std::string& text, long min, long max) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const long value = std::stol(text);
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::uint16_t portNumber(const std::string& what, const std::string& text) {
    const auto value = parseNumber(text, 0, 65535);
    if (!value) throw OptionError(what + ": \"" + text + "\" is not a TCP port (0 to 65535)");
    return static_cast<std::uint16_t>(*value);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

Options parseOptions(const std::vector<std::string>& args) {
    Options options;
    options.scenarioDir = z6::defaultScenarioDir();
    std::optional<std::filesystem::path> usbBusDir;
    std::optional<std::uint16_t> port;
    std::vector<std::string> listen;

    const std::map<std::string, service::OptionSetter> valued = {
        {"--scenario", [&](const std::string& v) { options.scenario = v; }},
        {"--scenario-dir", [&](const std::string& v) { options.scenarioDir = v; }},
        {"--state", [&](const std::string& v) { options.stateDir = v; }},
        {"--usb-bus", [&](const std::string& v) { usbBusDir = v; }},
        {"--usb-port",
         [&](const std::string& v) {
             const auto value = parseNumber(v, 1, z6wire::kUsbPorts);
             if (!value) {
                 throw OptionError("--usb-port: \"" + v + "\" is not a bus position (1 to " +
                                   std::to_string(z6wire::kUsbPorts) + ")");
             }
             options.usbPort = static_cast<int>(*value);
         }},
        {"--listen", [&](const std::string& v) { listen.push_back(v); }},
        {"--port", [&](const std::string& v) { port = portNumber("--port", v); }},
    };

    const std::map<std::string, service::FlagSetter> flags = {
        {"--help", [&] { options.help = true; }},
        {"-h", [&] { options.help = true; }},
        {"--no-usb", [&] { options.usb = false; }},
    };
    service::parseOptions(args, 0, valued, flags);
    if (options.help) return options;

    if (listen.empty()) listen = {"127.0.0.2", "127.0.0.3"};
    for (const std::string& text : listen) {
        const auto address = parseIpv4(text);
        if (!address) throw OptionError("--listen: \"" + text + "\" is not an IPv4 address");
        if (!isLoopback(*address)) {
            throw OptionError("--listen: " + text +
                              " is not a loopback address; z6sim listens only on 127.0.0.0/8");
        }
        const bool twice = std::any_of(options.listen.begin(), options.listen.end(),
                                       [&](in_addr a) { return a.s_addr == address->s_addr; });
        if (twice) throw OptionError("--listen: " + text + " is given twice");
        options.listen.push_back(*address);
    }

    if (port) {
        options.port = *port;
    } else if (const std::string text = environment(z6wire::kTcpPortVariable); !text.empty()) {
        options.port = portNumber(z6wire::kTcpPortVariable, text);
    } else {
        options.port = z6wire::kDefaultTcpPort;
    }

    if (usbBusDir) {
        options.usbBusDir = *usbBusDir;
    } else if (const std::string dir = environment(z6wire::kUsbBusDirVariable); !dir.empty()) {
        options.usbBusDir = dir;
    } else {
        options.usbBusDir = "/tmp/dqm-usb-bus-" + std::to_string(::getuid());
    }
    // Room for "/port-NN" in a socket address.
    const std::size_t socketPathLength = options.usbBusDir.string().size() + 1 + std::strlen(z6wire::kUsbPortPrefix) + 2;
    if (options.usb && socketPathLength > maxUnixPathLength()) {
        throw OptionError("USB bus directory " + options.usbBusDir.string() + " is too long for a socket path (at most " +
                          std::to_string(maxUnixPathLength() - 8) + " characters)");
    }
    return options;
}

namespace {

// The shipped scenarios, one a line with its description.
std::string scenarioList() {
    std::vector<std::pair<std::string, std::string>> rows;
    std::size_t width = 0;
    try {
        for (const std::string& name : z6::listScenarios(z6::defaultScenarioDir())) {
            std::string description;
            try {
                description = z6::loadScenario(name).description;
            } catch (const z6::ScenarioError&) {
                description = "(cannot be loaded)";
            }
            width = std::max(width, name.size());
            rows.emplace_back(name, description);
        }
    } catch (const z6::ScenarioError&) {
        return "  (none found)\n";
    }
    std::string text;
    for (const auto& [name, description] : rows) {
        text += "  " + name + std::string(width - name.size() + 2, ' ') + description + "\n";
    }
    return text;
}

}  // namespace

std::string usageText() {
    return "usage: z6sim [options]\n"
           "\n"
           "Runs one simulated Daqora Z6 until SIGINT or SIGTERM. The device plugs into the\n"
           "simulated USB bus and accepts Modbus TCP connections on loopback addresses;\n"
           "functions 3, 16 and 76 and the stream functions are answered, any unit id.\n"
           "\n"
           "  --scenario NAME     the device variant or fault to simulate (default healthy-pro)\n"
           "  --scenario-dir DIR  where the scenario files are (default " +
           z6::defaultScenarioDir().string() +
           ")\n"
           "  --state DIR         keep the device's flash and settings in DIR across runs; a\n"
           "                      new directory is a factory-new device (default: keep nothing)\n"
           "  --usb-bus DIR       the USB bus directory (default $DQM_USB_BUS_DIR, else\n"
           "                      /tmp/dqm-usb-bus-UID); created when missing\n"
           "  --usb-port N        bus position 1 to 99 (default: the lowest free one)\n"
           "  --no-usb            stay off the USB bus\n"
           "  --listen ADDR       a 127.x.x.x address to accept TCP connections on; repeat for\n"
           "                      more (default 127.0.0.2 and 127.0.0.3)\n"
           "  --port N            the TCP port (default $DQM_TCP_PORT, else 5502); 0 takes any\n"
           "                      free port, printed at start\n"
           "  --help              show this text\n"
           "\n"
           "Where the device can be reached, its connections, restarts and injected faults\n"
           "are reported on standard error, one line each. A restart request (61996) takes\n"
           "the device off the bus and network for " +
           std::to_string(z6::kRestartAwayMs / 1000) + " s, a soft reset (61994) for " +
           std::to_string(z6::kSoftResetAwayMs / 1000) +
           " s.\n"
           "\n"
           "Scenarios:\n" +
           scenarioList() +
           "\n"
           "Exit status: 0 after SIGINT or SIGTERM, 1 when the device cannot start or its\n"
           "state cannot be loaded or saved, 2 for a bad command line.\n";
}

}  // namespace z6sim
