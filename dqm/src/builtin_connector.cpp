// The built-in transports: devices on the USB bus (a directory of Unix
// stream sockets, one per plugged device) and devices reached over TCP.
#include "DaqoraM_transport.h"
#include "socket_link.h"

#include "z6_wire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace dqm {
namespace {

std::string usbBusDir() {
    if (const char* dir = std::getenv(z6wire::kUsbBusDirVariable); dir && *dir) return dir;
    return "/tmp/dqm-usb-bus-" + std::to_string(::getuid());
}

std::string usbPortPath(int position) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%02d", z6wire::kUsbPortPrefix, position);
    return usbBusDir() + "/" + name;
}

// 0 when DQM_TCP_PORT holds no valid port.
std::uint16_t tcpPort() {
    const char* text = std::getenv(z6wire::kTcpPortVariable);
    if (!text || !*text) return z6wire::kDefaultTcpPort;
    char* end = nullptr;
    const long port = std::strtol(text, &end, 10);
    return (*end == '\0' && port > 0 && port <= 65535) ? static_cast<std::uint16_t>(port) : 0;
}

void setNoDelay(int fd) {
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

std::int32_t dialUsb(const std::string& path, int& fd) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return DQM_ERR_DEVICE_NOT_FOUND;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return DQM_ERR_DEVICE_NOT_FOUND;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        fd = -1;
        return DQM_ERR_DEVICE_NOT_FOUND;
    }
    return DQM_OK;
}

// Connects with a bounded wait: refused or silent devices are not reachable.
std::int32_t dialTcp(const in_addr& host, std::uint16_t port, int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return DQM_ERR_TCP_NOT_REACHABLE;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = host;
    address.sin_port = htons(port);
    int result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        int error = ETIMEDOUT;
        if (::poll(&p, 1, kConnectTimeoutMs) == 1) {
            socklen_t size = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        }
        result = error == 0 ? 0 : -1;
    }
    if (result != 0) {
        ::close(fd);
        fd = -1;
        return DQM_ERR_TCP_NOT_REACHABLE;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    setNoDelay(fd);
    return DQM_OK;
}

class BuiltInConnector : public Connector {
public:
    std::int32_t open(ConnectionType type, const std::string& identifier, std::unique_ptr<Link>& link) override {
        return type == ConnectionType::Usb ? openUsb(identifier, link) : openTcp(identifier, link);
    }

private:
    // "DQM_idANY": the device at the lowest bus position. A handle stays with
    // its position, so after a restart it finds the same device again.
    static std::int32_t openUsb(const std::string& identifier, std::unique_ptr<Link>& link) {
        if (identifier != "DQM_idANY") return DQM_ERR_DEVICE_NOT_FOUND;
        for (int position = 1; position <= z6wire::kUsbPorts; ++position) {
            const std::string path = usbPortPath(position);
            int fd = -1;
            if (dialUsb(path, fd) != DQM_OK) continue;
            link = std::make_unique<SocketLink>(fd, [path](int& newFd) { return dialUsb(path, newFd); });
            return DQM_OK;
        }
        return DQM_ERR_DEVICE_NOT_FOUND;
    }

    static std::int32_t openTcp(const std::string& identifier, std::unique_ptr<Link>& link) {
        in_addr host{};
        if (::inet_pton(AF_INET, identifier.c_str(), &host) != 1) return DQM_ERR_INVALID_ARGUMENT;
        const std::uint16_t port = tcpPort();
        if (port == 0) return DQM_ERR_INVALID_ARGUMENT;
        int fd = -1;
        if (std::int32_t code = dialTcp(host, port, fd)) return code;
        link = std::make_unique<SocketLink>(fd, [host, port](int& newFd) { return dialTcp(host, port, newFd); });
        return DQM_OK;
    }
};

}  // namespace

Connector& builtInConnector() {
    static BuiltInConnector connector;
    return connector;
}

}  // namespace dqm
