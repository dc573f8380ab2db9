// How long device traffic takes against a z6sim process: the median time of
// one Modbus-feedback transaction over the USB-bus socket and over TCP
// loopback, of one 4 KB flash update that needs an erase, and, as the floor,
// a plain request/reply ping-pong of the same sizes over the same kinds of
// socket. A transaction should cost at most 1.5 times its floor.
#include "harness.h"
#include "support/temp_dir.h"

#include "device/flash.h"
#include "device/mbfb.h"

#include "DaqoraM.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRounds = 2000;
constexpr int kFlashRounds = 5;
// A flash chunk read: pointer write and 32-byte read; 20 bytes out, 40 back.
constexpr std::size_t kRequestBytes = 20;
constexpr std::size_t kReplyBytes = 40;

double medianMicros(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

template <class Call>
double timeMedian(int rounds, Call call) {
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        if (!call()) {
            std::fprintf(stderr, "bench: a round failed\n");
            std::exit(1);
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return medianMicros(samples);
}

double transactionMicros(std::int32_t handle) {
    MbfbOperation ops[] = {{61810, 2, kMbfbU32, 0x3C4000}, MbfbOperation::read(61812, 16, kMbfbBytes)};
    MbfbOperation key(61800, 2, kMbfbU32, static_cast<double>(flash::kCalibration.key));
    mbfbTransact(handle, 1, &key);
    return timeMedian(kRounds, [&] { return mbfbTransact(handle, 2, ops) == 0; });
}

double flashUpdateMillis(std::int32_t handle) {
    std::uint8_t byte = 0;
    return timeMedian(kFlashRounds, [&] {
               byte ^= 0x01;  // every other round sets a bit, so each needs an erase
               const std::uint8_t data[2] = {byte, static_cast<std::uint8_t>(~byte)};
               return flashUpdate(handle, flash::kCalibration.key, 0x3C4100, 2, data) == 0;
           }) / 1000.0;
}

bool readAll(int fd, std::uint8_t* out, std::size_t n) {
    while (n > 0) {
        const ssize_t got = ::recv(fd, out, n, 0);
        if (got <= 0) return false;
        out += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

// The floor: a peer in its own process, as z6sim is, that answers each
// request of kRequestBytes with kReplyBytes and does nothing else.
double pingPongMicros(int family, const std::filesystem::path& socketPath) {
    const int listener = ::socket(family, SOCK_STREAM, 0);
    sockaddr_storage storage{};
    socklen_t size = 0;
    if (family == AF_INET) {
        auto* address = reinterpret_cast<sockaddr_in*>(&storage);
        address->sin_family = AF_INET;
        address->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        size = sizeof *address;
    } else {
        auto* address = reinterpret_cast<sockaddr_un*>(&storage);
        address->sun_family = AF_UNIX;
        std::snprintf(address->sun_path, sizeof address->sun_path, "%s", socketPath.c_str());
        size = sizeof *address;
    }
    ::bind(listener, reinterpret_cast<sockaddr*>(&storage), size);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&storage), &size);
    const pid_t peer = ::fork();
    if (peer == 0) {
        const int fd = ::accept(listener, nullptr, nullptr);
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::uint8_t request[kRequestBytes];
        const std::uint8_t reply[kReplyBytes] = {};
        while (readAll(fd, request, sizeof request)) ::send(fd, reply, sizeof reply, MSG_NOSIGNAL);
        ::_exit(0);
    }
    const int fd = ::socket(family, SOCK_STREAM, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&storage), size);
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const std::uint8_t request[kRequestBytes] = {};
    std::uint8_t reply[kReplyBytes];
    const double micros = timeMedian(kRounds, [&] {
        return ::send(fd, request, sizeof request, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof request) &&
               readAll(fd, reply, sizeof reply);
    });
    ::close(fd);
    ::waitpid(peer, nullptr, 0);
    ::close(listener);
    return micros;
}

}  // namespace

int main() {
    testing_support::TempDir bus("bench-bus"), state("bench-state");
    e2e::Z6Sim sim(bus.path(), state.path());
    if (!sim.ready()) {
        std::fprintf(stderr, "bench: z6sim did not start\n%s", sim.output().c_str());
        return 1;
    }
    ::setenv("DQM_USB_BUS_DIR", bus.path().c_str(), 1);
    ::setenv("DQM_TCP_PORT", std::to_string(sim.port()).c_str(), 1);

    std::int32_t usb = 0, tcp = 0;
    if (DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &usb) != 0 ||
        DQM_OpenS("DQM_dtZ6", "DQM_ctTCP", "127.0.0.2", &tcp) != 0) {
        std::fprintf(stderr, "bench: cannot open the simulated device\n%s", sim.output().c_str());
        return 1;
    }
    const double usbMicros = transactionMicros(usb);
    const double tcpMicros = transactionMicros(tcp);
    const double usbFloor = pingPongMicros(AF_UNIX, bus.path() / "floor.sock");
    const double tcpFloor = pingPongMicros(AF_INET, {});
    const double updateMillis = flashUpdateMillis(usb);
    DQM_Close(usb);
    DQM_Close(tcp);

    std::printf("median of %d transactions (%zu bytes out, %zu back):\n", kRounds, kRequestBytes, kReplyBytes);
    std::printf("  USB bus socket   %8.1f us   floor %8.1f us   ratio %.2f\n", usbMicros, usbFloor, usbMicros / usbFloor);
    std::printf("  TCP loopback     %8.1f us   floor %8.1f us   ratio %.2f\n", tcpMicros, tcpFloor, tcpMicros / tcpFloor);
    std::printf("4 KB flash update with erase (USB), median of %d: %.1f ms\n", kFlashRounds, updateMillis);
    return 0;
}
