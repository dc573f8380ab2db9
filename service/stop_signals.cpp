#include "service/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace service {

namespace {

int stopPipe[2] = {-1, -1};

// Only async-signal-safe work here: the program's loop sees the byte.
extern "C" void onStopSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(stopPipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

bool installStopSignals() {
    if (::pipe2(stopPipe, O_NONBLOCK | O_CLOEXEC) != 0) return false;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0 &&
           sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

int stopSignalDescriptor() { return stopPipe[0]; }

std::string stopSignalName() {
    unsigned char byte = 0;
    if (::read(stopPipe[0], &byte, 1) != 1) return "a signal";
    return byte == SIGINT ? "SIGINT" : byte == SIGTERM ? "SIGTERM" : "signal " + std::to_string(byte);
}

std::string waitForStopSignal() {
    for (;;) {
        pollfd stop{stopPipe[0], POLLIN, 0};
        if (::poll(&stop, 1, -1) < 0 && errno != EINTR) return "a failed wait";
        if ((stop.revents & POLLIN) != 0) return stopSignalName();
    }
}

}  // namespace service
