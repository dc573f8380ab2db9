// The system's sockets, with the station's fixed test-server address pointed
// at a server on a port of the test's choosing (fake servers bind port 0).
// Installed for the life of the object.
#pragma once

#include "platform/sockets.h"

#include <cstdint>
#include <cstring>

namespace testing_support {

class RedirectedSockets : public platform::Sockets {
public:
    // Connections to 127.0.0.1:5001 go to 127.0.0.1:port instead.
    explicit RedirectedSockets(std::uint16_t port) : port_(port) { previous_ = platform::installSockets(this); }
    ~RedirectedSockets() override { platform::installSockets(previous_); }
    RedirectedSockets(const RedirectedSockets&) = delete;
    RedirectedSockets& operator=(const RedirectedSockets&) = delete;

    int startup(std::uint16_t requested, std::uint16_t& granted) override {
        ++startups;
        if (startupFails) return kLibraryNotReady;
        const int result = system().startup(requested, granted);
        if (grantedVersion != 0) granted = grantedVersion;
        return result;
    }
    void cleanup() override { system().cleanup(); }
    platform::SocketHandle open() override { return system().open(); }
    int connect(platform::SocketHandle socket, const char* address, std::uint16_t port) override {
        const bool station = std::strcmp(address, "127.0.0.1") == 0 && port == 5001;
        return system().connect(socket, address, station ? port_ : port);
    }
    int send(platform::SocketHandle socket, const char* data, int length) override {
        return system().send(socket, data, length);
    }
    int receive(platform::SocketHandle socket, char* buffer, int length, int timeoutMs) override {
        return system().receive(socket, buffer, length, timeoutMs);
    }
    int lastError() override { return system().lastError(); }
    int timedOutCode() override { return system().timedOutCode(); }
    void close(platform::SocketHandle socket) override { system().close(socket); }

    // For tests of the library start-up: a failing one, or another version.
    bool startupFails = false;
    std::uint16_t grantedVersion = 0;
    int startups = 0;

private:
    static constexpr int kLibraryNotReady = 10091;  // what a socket library that will not start reports
    static platform::Sockets& system() { return platform::systemSockets(); }
    std::uint16_t port_;
    platform::Sockets* previous_;
};

}  // namespace testing_support
