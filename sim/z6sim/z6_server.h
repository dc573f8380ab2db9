// Serves one Z6 model over its real transports: a Unix socket on the
// simulated USB bus and TCP listeners on loopback addresses, all in one
// thread around poll(). Each connection gets its own DeviceConnection, so
// its requests are answered in order and its stream runs on its own.
//
// When a request makes the device leave (restart, soft reset), every
// connection is dropped, the device unplugs and stops listening; when it is
// back it plugs in at the same bus position and listens on the same
// addresses and ports, as the hardware would.
#pragma once

#include "socket_util.h"

#include "z6/device_connection.h"
#include "z6/z6_model.h"

#include <poll.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace z6sim {

struct ServerSettings {
    bool usb = true;
    std::filesystem::path usbBusDir;
    int usbPort = 0;  // 1 to 99; 0: the lowest free position
    std::vector<in_addr> listen;
    std::uint16_t port = 0;  // 0: one the system picks, the same on every address
    std::optional<std::filesystem::path> stateDir;
};

// The device could not plug in or listen at start.
class StartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Z6Server {
public:
    // Saved state counts from what the model holds now.
    Z6Server(z6::Z6Model& model, ServerSettings settings);
    ~Z6Server();
    Z6Server(const Z6Server&) = delete;
    Z6Server& operator=(const Z6Server&) = delete;

    // Plugs into the USB bus and listens, reporting where. Throws StartError.
    void start();
    // Serves until stopFd becomes readable. Throws std::system_error when
    // poll() itself fails.
    void run(int stopFd);
    // Drops every connection, unplugs, stops listening and saves the state.
    // Returns false when the state could not be saved.
    bool shutdown();

    // Below this much unsent output a connection's requests are read and
    // answered; above kMaxPendingOutput a connection that does not read is
    // dropped.
    static constexpr std::size_t kPauseRequestsAt = 64 * 1024;
    static constexpr std::size_t kMaxPendingOutput = 4 * 1024 * 1024;
    static constexpr std::size_t kMaxConnections = 32;
    static constexpr std::uint32_t kIdleSaveMs = 500;
    static constexpr std::uint32_t kReplugRetryMs = 1000;

private:
    struct Client {
        Client(Fd socket, std::string name, z6::Z6Model& model);
        std::size_t pendingOutput() const { return out.size() - outStart; }

        Fd fd;
        std::string name;  // "usb" or "peer -> local"
        z6::DeviceConnection device;
        std::vector<std::uint8_t> in;  // one whole message at most
        std::size_t inLength = 0;
        std::vector<std::uint8_t> out;
        std::size_t outStart = 0;
        bool closed = false;
    };
    struct Listener {
        in_addr address{};
        std::uint16_t port = 0;
        Fd fd;
    };

    // Plugging in and out.
    void plugUsb(bool atStart);
    bool tryPlugUsbAt(int position, std::string& error);
    void unplugUsb();
    void listenAtStart();
    void listenAgain();
    void stopListening();
    void plugAgain();
    void goAway();
    void comeBack();

    // Connections.
    void accept(int listenFd, bool usb);
    void readRequests(Client& client);
    void answerRequests(Client& client);
    void sendStreamData(Client& client);
    void append(Client& client, const std::vector<std::uint8_t>& bytes);
    void flush(Client& client);
    void close(Client& client, const std::string& reason);
    void closeAll(const std::string& reason);

    void saveState(const char* why);
    int pollTimeout(std::uint32_t now) const;

    z6::Z6Model& model_;
    ServerSettings settings_;

    Fd usbListener_;
    int usbPosition_ = 0;  // where the device is plugged or was last
    std::string usbPath_;
    std::optional<FileId> usbFile_;
    std::vector<Listener> listeners_;
    bool plugPending_ = false;  // something failed to plug in again; retried
    std::uint32_t plugRetryTick_ = 0;

    std::vector<std::unique_ptr<Client>> clients_;
    std::vector<pollfd> pollFds_;
    bool away_ = false;
    bool deviceLeft_ = false;  // a request just made the device go away

    std::uint64_t savedChanges_;
    bool saveFailed_ = false;
    std::uint32_t lastRequestTick_ = 0;
};

}  // namespace z6sim
