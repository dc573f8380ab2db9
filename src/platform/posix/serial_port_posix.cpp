// Serial ports on POSIX: a COM name leads to a tty (com_port_path.h), set
// raw through termios.
//
// Exclusive: the open takes an advisory lock on the tty (flock), which
// stops a second open also for root, and sets TIOCEXCL, which stops other
// programs that take no lock (except root's); the close clears it again. A
// port in use is refused with EACCES.
//
// Reads never wait: the descriptor is non-blocking and only the time-outs
// under which a read returns at once with what has arrived are taken. A
// write waits until all its bytes are out, at most kWriteLimitMs.
#include "platform/serial_port.h"

#include "platform/posix/com_port_path.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <map>

namespace platform {
namespace {

constexpr int kWriteLimitMs = 10000;

thread_local int lastSerialError = 0;

bool fail(int code) {
    lastSerialError = code;
    return false;
}

struct BaudRate {
    std::uint32_t rate;
    speed_t code;
};
constexpr BaudRate kBaudRates[] = {
    {110, B110},     {300, B300},     {600, B600},     {1200, B1200},     {2400, B2400},
    {4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400},   {57600, B57600},
    {115200, B115200},
};

constexpr tcflag_t kByteSizes[] = {CS5, CS6, CS7, CS8};  // 5 to 8 data bits

// Fills the termios fields the settings decide; false for what a tty here
// cannot do.
bool applySettings(const SerialSettings& s, termios& tio) {
    if (s.length != 28 || !s.binary) return false;
    const BaudRate* baud = nullptr;
    for (const BaudRate& b : kBaudRates)
        if (b.rate == s.baudRate) baud = &b;
    if (baud == nullptr || s.byteSize < 5 || s.byteSize > 8) return false;
    if (s.parityCode > kEvenParity || s.stopBits == kOne5StopBits || s.stopBits > kTwoStopBits) return false;
    if (s.dtrControl > kControlHandshake || s.rtsControl > kControlHandshake) return false;

    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | kByteSizes[s.byteSize - 5];
    if (s.stopBits == kTwoStopBits) tio.c_cflag |= CSTOPB;
    if (s.parityCode != kNoParity) tio.c_cflag |= PARENB;
    if (s.parityCode == kOddParity) tio.c_cflag |= PARODD;
    if (s.parity) tio.c_iflag |= INPCK;
    // termios has one switch for both directions of hardware flow control.
    if (s.rtsControl == kControlHandshake || s.outxCtsFlow) tio.c_cflag |= CRTSCTS;
    if (s.outX) tio.c_iflag |= IXON;
    if (s.inX) tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return cfsetispeed(&tio, baud->code) == 0 && cfsetospeed(&tio, baud->code) == 0;
}

class PosixSerialPorts : public SerialPorts {
public:
    SerialHandle open(const wchar_t* name) override {
        const auto path = comPortPath(name != nullptr ? name : L"");
        if (!path) {
            fail(ENOENT);
            return kInvalidSerialHandle;
        }
        const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            // EBUSY: another program set the tty exclusive.
            fail(errno == EBUSY ? EACCES : errno);
            return kInvalidSerialHandle;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno == EWOULDBLOCK ? EACCES : errno;
            ::close(fd);
            fail(error);
            return kInvalidSerialHandle;
        }
        // A tty refuses these, a file or a pipe does not have them; either
        // way the set-up of the line tells.
        ::ioctl(fd, TIOCEXCL);
        ::tcflush(fd, TCIOFLUSH);
        const SerialHandle handle = nextHandle_++;
        ports_[handle] = fd;
        return handle;
    }

    bool setTimeouts(SerialHandle port, const SerialTimeouts& timeouts) override {
        if (descriptor(port) < 0) return false;
        const bool readsReturnAtOnce = timeouts.readIntervalTimeout == kNoWait &&
                                       timeouts.readTotalTimeoutMultiplier == 0 &&
                                       timeouts.readTotalTimeoutConstant == 0;
        return readsReturnAtOnce || fail(EINVAL);
    }

    bool setSettings(SerialHandle port, const SerialSettings& settings) override {
        const int fd = descriptor(port);
        if (fd < 0) return false;
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0) return fail(errno);
        if (!applySettings(settings, tio)) return fail(EINVAL);
        if (::tcsetattr(fd, TCSANOW, &tio) != 0) return fail(errno);
        // DTR goes up for enable and handshake, as the control lines of a
        // real port do; a pseudo-terminal has none, and says so.
        int dtr = TIOCM_DTR;
        ::ioctl(fd, settings.dtrControl == kControlDisable ? TIOCMBIC : TIOCMBIS, &dtr);
        return true;
    }

    bool write(SerialHandle port, const void* data, std::uint32_t length, std::uint32_t& written) override {
        written = 0;
        const int fd = descriptor(port);
        if (fd < 0) return false;
        const char* bytes = static_cast<const char*>(data);
        while (written < length) {
            const ssize_t n = ::write(fd, bytes + written, length - written);
            if (n > 0) {
                written += static_cast<std::uint32_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return fail(errno);
            pollfd wanted{fd, POLLOUT, 0};
            const int ready = ::poll(&wanted, 1, kWriteLimitMs);
            if (ready == 0) return fail(ETIMEDOUT);
            if (ready < 0 && errno != EINTR) return fail(errno);
        }
        return true;
    }

    bool read(SerialHandle port, void* buffer, std::uint32_t length, std::uint32_t& received) override {
        received = 0;
        const int fd = descriptor(port);
        if (fd < 0) return false;
        ssize_t n;
        do {
            n = ::read(fd, buffer, length);
        } while (n < 0 && errno == EINTR);
        if (n < 0) return errno == EAGAIN || fail(errno);
        received = static_cast<std::uint32_t>(n);
        return true;
    }

    bool close(SerialHandle port) override {
        const int fd = descriptor(port);
        if (fd < 0) return false;
        ::ioctl(fd, TIOCNXCL);
        ports_.erase(port);
        return ::close(fd) == 0 || fail(errno);
    }

    int lastError() override { return lastSerialError; }
    int portMissingCode() override { return ENOENT; }
    int portInUseCode() override { return EACCES; }

protected:
    bool countWaiting(SerialHandle port, std::uint32_t& count) override {
        count = 0;
        const int fd = descriptor(port);
        if (fd < 0) return false;
        int waiting = 0;
        if (::ioctl(fd, FIONREAD, &waiting) != 0) return fail(errno);
        count = waiting > 0 ? static_cast<std::uint32_t>(waiting) : 0;
        return true;
    }

private:
    // The descriptor of an open port; -1 (and EBADF) for any other handle.
    int descriptor(SerialHandle port) {
        const auto found = ports_.find(port);
        if (found == ports_.end()) {
            fail(EBADF);
            return -1;
        }
        return found->second;
    }

    std::map<SerialHandle, int> ports_;
    SerialHandle nextHandle_ = 1;  // never the null or the invalid handle
};

}  // namespace

SerialPorts& systemSerialPorts() {
    static PosixSerialPorts ports;
    return ports;
}

}  // namespace platform
