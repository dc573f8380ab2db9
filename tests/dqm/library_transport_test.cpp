// The device library's real transports against small peers that misbehave
// on purpose: every broken reply becomes its own code, nothing hangs, and a
// handle whose device dropped the connection dials again.
#include "DaqoraM.h"
#include "DaqoraM_transport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A peer on 127.0.0.1 that answers each connection with a scripted handler:
// it receives one request and does whatever the test says.
class FakeDevice {
public:
    using Handler = std::function<void(int fd, const Bytes& request)>;

    explicit FakeDevice(Handler handler) : handler_(std::move(handler)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listener_, 4), 0);
        socklen_t size = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        ::setenv("DQM_TCP_PORT", std::to_string(port_).c_str(), 1);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeDevice() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
        ::unsetenv("DQM_TCP_PORT");
    }
    int connections() const { return connections_; }

private:
    void serve() {
        for (;;) {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            ++connections_;
            for (;;) {
                Bytes request(6);
                if (!readAll(fd, request.data(), 6)) break;
                request.resize(6 + (request[4] << 8 | request[5]));
                if (!readAll(fd, request.data() + 6, request.size() - 6)) break;
                handler_(fd, request);
            }
            ::close(fd);
        }
    }
    static bool readAll(int fd, std::uint8_t* out, std::size_t n) {
        while (n > 0) {
            const ssize_t got = ::recv(fd, out, n, 0);
            if (got <= 0) return false;
            out += got;
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

    Handler handler_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
    int connections_ = 0;
};

void sendBytes(int fd, const Bytes& bytes) { ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

// Reading two registers at 60000: the request the tests send.
std::int32_t readProductId(std::int32_t handle, std::uint8_t* buffer) {
    const std::uint8_t request[] = {0, 0, 0, 0, 0, 6, 0, 0x4C, 0x00, 0xEA, 0x60, 0x02};
    std::memcpy(buffer, request, sizeof request);
    std::int32_t errorAddress = 0;
    return DQM_MBFBComm(handle, 0, buffer, &errorAddress);
}

struct BrokenReply {
    const char* what;
    Bytes reply;
    std::int32_t code;
};

void PrintTo(const BrokenReply& c, std::ostream* out) { *out << c.what; }

class LibraryOverTcp : public ::testing::TestWithParam<BrokenReply> {};

TEST_P(LibraryOverTcp, EachBrokenReplyHasItsOwnCode) {
    const BrokenReply& c = GetParam();
    FakeDevice device([&](int fd, const Bytes&) { sendBytes(fd, c.reply); });
    std::int32_t handle = 0;
    ASSERT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctTCP", "127.0.0.1", &handle), DQM_OK);
    std::uint8_t buffer[DQM_MBFB_BUFFER_SIZE] = {};
    EXPECT_EQ(readProductId(handle, buffer), c.code) << c.what;
    DQM_Close(handle);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LibraryOverTcp,
    ::testing::Values(
        BrokenReply{"good", {0, 0, 0, 0, 0, 6, 0, 0x4C, 0x40, 0xE0, 0, 0}, DQM_OK},
        BrokenReply{"other function", {0, 0, 0, 0, 0, 6, 0, 0x03, 0x40, 0xE0, 0, 0}, DQM_ERR_REPLY_WRONG_FUNCTION},
        BrokenReply{"too short for the read", {0, 0, 0, 0, 0, 4, 0, 0x4C, 0x40, 0xE0}, DQM_ERR_REPLY_WRONG_LENGTH},
        BrokenReply{"other transaction", {0, 9, 0, 0, 0, 6, 0, 0x4C, 0x40, 0xE0, 0, 0}, DQM_ERR_REPLY_WRONG_TRANSACTION},
        BrokenReply{"exception", {0, 0, 0, 0, 0, 5, 0, 0xCC, 0x02, 0, 0}, DQM_ERR_ILLEGAL_ADDRESS},
        BrokenReply{"device error", {0, 0, 0, 0, 0, 5, 0, 0xCC, 0x04, 0x09, 0x36}, DQM_ERR_FLASH_READ_RETRY},
        BrokenReply{"no function code", {0, 0, 0, 0, 0, 1, 0}, DQM_ERR_REPLY_TRUNCATED}),
    [](const auto& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(LibraryTransport, ADeviceThatDiesMidReplyIsALostConnectionAndTheHandleDialsAgain) {
    int request = 0;
    FakeDevice device([&](int fd, const Bytes&) {
        if (++request == 1) {
            sendBytes(fd, {0, 0, 0, 0, 0, 6, 0, 0x4C, 0x40});  // half a reply, then gone
            ::shutdown(fd, SHUT_RDWR);
        } else {
            sendBytes(fd, {0, 0, 0, 0, 0, 6, 0, 0x4C, 0x40, 0xE0, 0, 0});
        }
    });
    std::int32_t handle = 0;
    ASSERT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctTCP", "127.0.0.1", &handle), DQM_OK);
    std::uint8_t buffer[DQM_MBFB_BUFFER_SIZE] = {};
    EXPECT_EQ(readProductId(handle, buffer), DQM_ERR_CONNECTION_LOST);
    EXPECT_EQ(readProductId(handle, buffer), DQM_OK);
    EXPECT_EQ(buffer[8], 0x40);
    EXPECT_EQ(device.connections(), 2);
    DQM_Close(handle);
}

TEST(LibraryTransport, ASilentDeviceTimesOut) {
    FakeDevice device([](int, const Bytes&) {});
    std::int32_t handle = 0;
    ASSERT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctTCP", "127.0.0.1", &handle), DQM_OK);
    std::uint8_t buffer[DQM_MBFB_BUFFER_SIZE] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(readProductId(handle, buffer), DQM_ERR_TIMEOUT);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(dqm::kReplyTimeoutMs - 100));
    EXPECT_LT(waited, std::chrono::milliseconds(dqm::kReplyTimeoutMs + 2000));
    DQM_Close(handle);
}

TEST(LibraryTransport, OpeningWhatIsNotThere) {
    // A port nobody listens on: refused at once, not a hang.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    ::setenv("DQM_TCP_PORT", std::to_string(ntohs(address.sin_port)).c_str(), 1);
    std::int32_t handle = 7;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctTCP", "127.0.0.1", &handle), DQM_ERR_TCP_NOT_REACHABLE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(dqm::kConnectTimeoutMs));
    EXPECT_EQ(handle, 0);
    ::close(probe);
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctTCP", "not an address", &handle), DQM_ERR_INVALID_ARGUMENT);
    ::setenv("DQM_TCP_PORT", "70000", 1);
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctTCP", "127.0.0.1", &handle), DQM_ERR_INVALID_ARGUMENT);
    ::unsetenv("DQM_TCP_PORT");

    // An empty USB bus, and one with a stale socket of an unplugged device.
    const std::filesystem::path bus = std::filesystem::temp_directory_path() / ("dqm-bus-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(bus);
    ::setenv("DQM_USB_BUS_DIR", bus.c_str(), 1);
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &handle), DQM_ERR_DEVICE_NOT_FOUND);
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un path{};
    path.sun_family = AF_UNIX;
    std::snprintf(path.sun_path, sizeof path.sun_path, "%s/port-01", bus.c_str());
    ::bind(stale, reinterpret_cast<sockaddr*>(&path), sizeof path);
    ::close(stale);  // the file stays, nobody listens
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &handle), DQM_ERR_DEVICE_NOT_FOUND);
    ::unsetenv("DQM_USB_BUS_DIR");
    std::filesystem::remove_all(bus);
}

TEST(LibraryApi, BadHandlesAndArguments) {
    std::uint8_t buffer[DQM_MBFB_BUFFER_SIZE] = {};
    double value = 0;
    std::int32_t address = 0;
    for (std::int32_t handle : {0, -1, 123456}) {
        EXPECT_EQ(DQM_Close(handle), DQM_ERR_INVALID_HANDLE);
        EXPECT_EQ(DQM_MBFBComm(handle, 0, buffer, nullptr), DQM_ERR_INVALID_HANDLE);
        EXPECT_EQ(DQM_eReadAddress(handle, 60000, 1, &value), DQM_ERR_INVALID_HANDLE);
        EXPECT_EQ(DQM_eStreamStart(handle, 100, 1, &address, &value), DQM_ERR_INVALID_HANDLE);
        EXPECT_EQ(DQM_eStreamStop(handle), DQM_ERR_INVALID_HANDLE);
    }
    std::int32_t handle = 0;
    EXPECT_EQ(DQM_OpenS("DQM_dtZ9", "DQM_ctUSB", "DQM_idANY", &handle), DQM_ERR_UNKNOWN_DEVICE_TYPE);
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctBT", "DQM_idANY", &handle), DQM_ERR_UNKNOWN_CONNECTION_TYPE);
    EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", nullptr, &handle), DQM_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(DQM_ReadLibraryConfigS("DQM_NO_SUCH_SETTING", &value), DQM_ERR_UNKNOWN_CONFIG_NAME);
    EXPECT_STREQ(DQM_ErrorText(DQM_ERR_TCP_NOT_REACHABLE), "TCP device not reachable");
    EXPECT_STREQ(DQM_ErrorText(-5), "unknown error code");
}

}  // namespace
