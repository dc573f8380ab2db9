#include "z6_server.h"

#include "event_log.h"

#include "z6_wire.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace z6sim {

namespace {

std::string positionName(int position) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%02d", z6wire::kUsbPortPrefix, position);
    return name;
}

std::string errnoText(int error) { return std::generic_category().message(error); }

// Reads and drops what a peer sent, so that closing does not reset the
// connection and lose the replies the peer has yet to read.
void discardInput(int fd) {
    std::uint8_t scratch[4096];
    for (int i = 0; i < 64; ++i) {
        if (::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) <= 0) return;
    }
}

}  // namespace

Z6Server::Client::Client(Fd socket, std::string name_, z6::Z6Model& model)
    : fd(std::move(socket)), name(std::move(name_)), device(model), in(z6wire::kMaxMessageSize) {}

Z6Server::Z6Server(z6::Z6Model& model, ServerSettings settings)
    : model_(model), settings_(std::move(settings)), savedChanges_(model.persistentChanges()) {
    for (const in_addr& address : settings_.listen) listeners_.push_back(Listener{address, settings_.port, Fd()});
    usbPosition_ = settings_.usbPort;
}

Z6Server::~Z6Server() {
    clients_.clear();
    unplugUsb();
}

// --- plugging in and out ---------------------------------------------------

void Z6Server::start() {
    if (settings_.usb) plugUsb(true);
    listenAtStart();
}

void Z6Server::plugUsb(bool atStart) {
    std::error_code error;
    std::filesystem::create_directories(settings_.usbBusDir, error);
    if (error || !std::filesystem::is_directory(settings_.usbBusDir)) {
        const std::string message = "USB bus directory " + settings_.usbBusDir.string() + " cannot be made: " +
                                    (error ? error.message() : "not a directory");
        if (atStart) throw StartError(message);
        logEvent(message);
        plugPending_ = true;
        return;
    }

    std::string failure;
    const int wanted = usbPosition_;
    if (wanted != 0) {
        if (tryPlugUsbAt(wanted, failure)) return;
        if (atStart) {
            throw StartError(failure.empty() ? "USB bus position " + std::to_string(wanted) + " (" +
                                                   (settings_.usbBusDir / positionName(wanted)).string() +
                                                   ") is taken by another device"
                                             : failure);
        }
        if (!failure.empty()) {
            logEvent(failure);
            plugPending_ = true;
            return;
        }
        // Someone took the position while the device was away.
        logEvent("USB bus position " + std::to_string(wanted) + " is taken now; plugging in at the lowest free one");
    }
    for (int position = 1; position <= z6wire::kUsbPorts; ++position) {
        if (position == wanted) continue;
        if (tryPlugUsbAt(position, failure)) return;
        if (!failure.empty()) break;
    }
    const std::string message =
        failure.empty() ? "every USB bus position in " + settings_.usbBusDir.string() + " is taken" : failure;
    if (atStart) throw StartError(message);
    logEvent(message);
    plugPending_ = true;
}

// True when plugged in at position. False with error empty when another
// device holds it, with error set when plugging in failed otherwise.
bool Z6Server::tryPlugUsbAt(int position, std::string& error) {
    error.clear();
    const std::string path = (settings_.usbBusDir / positionName(position)).string();
    // Once for a free position; again after clearing away a stale socket or
    // losing a race for the position.
    for (int attempt = 0; attempt < 3; ++attempt) {
        try {
            usbListener_ = listenUnix(path);
            usbPosition_ = position;
            usbPath_ = path;
            usbFile_ = fileIdOf(path);
            logEvent("usb " + path);
            return true;
        } catch (const SocketError& e) {
            if (e.code() != std::errc::address_in_use) {
                error = e.what();
                return false;
            }
        }
        switch (probeUnixPath(path)) {
            case UnixPath::Absent:
                break;
            case UnixPath::Stale:
                // Left behind by a device that did not unplug; take it over.
                ::unlink(path.c_str());
                break;
            case UnixPath::Live:
            case UnixPath::Foreign:
                return false;
        }
    }
    return false;
}

void Z6Server::unplugUsb() {
    if (!usbListener_) return;
    usbListener_.reset();
    // Remove the socket only if it is still the one bound here.
    if (usbFile_ && fileIdOf(usbPath_) == usbFile_) ::unlink(usbPath_.c_str());
    usbFile_.reset();
    logEvent("unplugged usb " + usbPath_);
}

void Z6Server::listenAtStart() {
    // With port 0 the first address picks the port and the others take the
    // same one, as a device has one port on every interface. Should that
    // port be taken on another address, pick again.
    const bool anyPort = settings_.port == 0;
    for (int attempt = 0;; ++attempt) {
        try {
            std::uint16_t port = settings_.port;
            for (Listener& listener : listeners_) {
                listener.fd = listenTcp(listener.address, port);
                listener.port = localPort(listener.fd.get());
                port = listener.port;
            }
            break;
        } catch (const SocketError& e) {
            for (Listener& listener : listeners_) listener.fd.reset();
            if (!anyPort || e.code() != std::errc::address_in_use || attempt >= 10) throw StartError(e.what());
        }
    }
    for (const Listener& listener : listeners_) logEvent("listening " + formatEndpoint(listener.address, listener.port));
}

void Z6Server::listenAgain() {
    for (Listener& listener : listeners_) {
        if (listener.fd) continue;
        try {
            listener.fd = listenTcp(listener.address, listener.port);
            logEvent("listening " + formatEndpoint(listener.address, listener.port));
        } catch (const SocketError& e) {
            logEvent(std::string(e.what()) + "; trying again");
            plugPending_ = true;
        }
    }
}

void Z6Server::stopListening() {
    for (Listener& listener : listeners_) {
        if (!listener.fd) continue;
        listener.fd.reset();
        logEvent("stopped listening " + formatEndpoint(listener.address, listener.port));
    }
}

void Z6Server::plugAgain() {
    plugPending_ = false;
    if (settings_.usb && !usbListener_) plugUsb(false);
    listenAgain();
    plugRetryTick_ = model_.clock().tickCount();
}

void Z6Server::goAway() {
    deviceLeft_ = false;
    away_ = true;
    logEvent("device restarting: off the bus and network for " + std::to_string(model_.awayForMs()) + " ms");
    // Off the bus and network first, so that nobody connects to a device
    // that is leaving; then its connections go.
    unplugUsb();
    stopListening();
    closeAll("device restarting");
    plugPending_ = false;
    if (model_.persistentChanges() != savedChanges_) saveState("restart");
}

void Z6Server::comeBack() {
    away_ = false;
    logEvent("device back, boot " + std::to_string(model_.boots()));
    plugAgain();
}

// --- connections -----------------------------------------------------------

void Z6Server::accept(int listenFd, bool usb) {
    for (int i = 0; i < 16; ++i) {
        Fd fd(::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) logEvent("cannot accept a connection: " + errnoText(errno));
            return;
        }
        std::string name = usb ? "usb" : describeTcpConnection(fd.get());
        if (!usb) setNoDelay(fd.get());
        if (clients_.size() >= kMaxConnections) {
            logEvent("refused " + name + ": " + std::to_string(kMaxConnections) + " connections are open");
            continue;
        }
        logEvent("connection " + name);
        clients_.push_back(std::make_unique<Client>(std::move(fd), std::move(name), model_));
    }
}

void Z6Server::readRequests(Client& client) {
    // Read while the peer filled the whole buffer: more may be waiting.
    for (int round = 0; round < 8 && !client.closed && !deviceLeft_; ++round) {
        if (client.pendingOutput() >= kPauseRequestsAt) break;
        const std::size_t room = client.in.size() - client.inLength;
        if (room == 0) break;  // whole messages wait for the peer to read replies
        const ssize_t received = ::recv(client.fd.get(), client.in.data() + client.inLength, room, 0);
        if (received == 0) {
            close(client, "closed by peer");
            return;
        }
        if (received < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) close(client, errnoText(errno));
            break;
        }
        client.inLength += static_cast<std::size_t>(received);
        answerRequests(client);
        if (static_cast<std::size_t>(received) < room) break;
    }
    flush(client);
}

void Z6Server::answerRequests(Client& client) {
    std::size_t at = 0;
    while (!deviceLeft_ && client.inLength - at >= z6wire::kPrefixSize &&
           client.pendingOutput() < kPauseRequestsAt) {
        const std::uint8_t* message = client.in.data() + at;
        const std::size_t length = z6wire::messageLength(message);
        if (client.inLength - at < length) break;
        append(client, client.device.handle(message, length));
        at += length;
        // The device answers a restart request, then leaves.
        if (!model_.available()) deviceLeft_ = true;
    }
    if (at == 0) return;
    lastRequestTick_ = model_.clock().tickCount();
    std::memmove(client.in.data(), client.in.data() + at, client.inLength - at);
    client.inLength -= at;
}

void Z6Server::sendStreamData(Client& client) {
    for (const std::vector<std::uint8_t>& frame : client.device.takeDue()) append(client, frame);
    if (client.pendingOutput() > kMaxPendingOutput) {
        close(client, "not reading, " + std::to_string(client.pendingOutput()) + " bytes unsent");
        return;
    }
    flush(client);
}

void Z6Server::append(Client& client, const std::vector<std::uint8_t>& bytes) {
    if (client.outStart == client.out.size()) {
        client.out.clear();
        client.outStart = 0;
    }
    client.out.insert(client.out.end(), bytes.begin(), bytes.end());
}

void Z6Server::flush(Client& client) {
    while (!client.closed && client.pendingOutput() > 0) {
        const long sent = sendSome(client.fd.get(), client.out.data() + client.outStart, client.pendingOutput());
        if (sent < 0) {
            close(client, errno == EPIPE || errno == ECONNRESET ? "closed by peer" : errnoText(errno));
            return;
        }
        if (sent == 0) break;  // full: poll says when it takes more
        client.outStart += static_cast<std::size_t>(sent);
    }
    if (client.outStart == client.out.size()) {
        client.out.clear();
        client.outStart = 0;
    } else if (client.outStart >= kPauseRequestsAt) {
        client.out.erase(client.out.begin(), client.out.begin() + static_cast<std::ptrdiff_t>(client.outStart));
        client.outStart = 0;
    }
}

void Z6Server::close(Client& client, const std::string& reason) {
    if (client.closed) return;
    client.closed = true;
    discardInput(client.fd.get());
    client.fd.reset();
    logEvent("closed " + client.name + " (" + reason + ")");
}

void Z6Server::closeAll(const std::string& reason) {
    for (auto& client : clients_) {
        flush(*client);  // the last replies still go out when they fit
        close(*client, reason);
    }
    clients_.clear();
}

// --- state -----------------------------------------------------------------

void Z6Server::saveState(const char* why) {
    if (!settings_.stateDir) return;
    const std::uint64_t changes = model_.persistentChanges();
    try {
        model_.saveState(*settings_.stateDir);
        saveFailed_ = false;
        logEvent("saved state in " + settings_.stateDir->string() + " (" + why + ")");
    } catch (const std::exception& e) {
        saveFailed_ = true;
        logEvent(std::string("cannot save state: ") + e.what());
    }
    // A failed save is tried again at the next change, not in a loop.
    savedChanges_ = changes;
}

// --- the loop --------------------------------------------------------------

int Z6Server::pollTimeout(std::uint32_t now) const {
    long timeout = -1;
    const auto within = [&timeout](long ms) {
        ms = std::max(0L, ms);
        timeout = timeout < 0 ? ms : std::min(timeout, ms);
    };
    if (away_) within(model_.awayForMs());
    if (plugPending_) within(static_cast<long>(kReplugRetryMs) - static_cast<long>(now - plugRetryTick_));
    for (const auto& client : clients_) {
        const int due = client->device.msUntilDue();
        if (due >= 0) within(due);
    }
    if (settings_.stateDir && model_.persistentChanges() != savedChanges_) {
        within(static_cast<long>(kIdleSaveMs) - static_cast<long>(now - lastRequestTick_));
    }
    return static_cast<int>(timeout);
}

void Z6Server::run(int stopFd) {
    for (;;) {
        pollFds_.clear();
        pollFds_.push_back({stopFd, POLLIN, 0});
        const std::size_t usbAt = pollFds_.size();
        if (usbListener_) pollFds_.push_back({usbListener_.get(), POLLIN, 0});
        const std::size_t listenersAt = pollFds_.size();
        for (const Listener& listener : listeners_) {
            if (listener.fd) pollFds_.push_back({listener.fd.get(), POLLIN, 0});
        }
        const std::size_t clientsAt = pollFds_.size();
        for (const auto& client : clients_) {
            short events = 0;
            if (client->pendingOutput() < kPauseRequestsAt) events |= POLLIN;
            if (client->pendingOutput() > 0) events |= POLLOUT;
            pollFds_.push_back({client->fd.get(), events, 0});
        }
        const std::size_t polledClients = clients_.size();

        const int timeout = pollTimeout(model_.clock().tickCount());
        if (::poll(pollFds_.data(), pollFds_.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (pollFds_[0].revents != 0) return;

        if (away_) {
            if (model_.available()) comeBack();
            continue;
        }
        const std::uint32_t now = model_.clock().tickCount();
        if (plugPending_ && now - plugRetryTick_ >= kReplugRetryMs) plugAgain();

        if (usbAt < listenersAt && pollFds_[usbAt].revents != 0) accept(usbListener_.get(), true);
        for (std::size_t i = listenersAt; i < clientsAt; ++i) {
            if (pollFds_[i].revents != 0) accept(pollFds_[i].fd, false);
        }

        for (std::size_t i = 0; i < polledClients && !deviceLeft_; ++i) {
            Client& client = *clients_[i];
            const short revents = pollFds_[clientsAt + i].revents;
            if (client.closed || revents == 0) continue;
            if (revents & POLLOUT) {
                flush(client);
                // Requests held back while the peer was not reading.
                answerRequests(client);
                flush(client);
            }
            if (revents & (POLLIN | POLLHUP | POLLERR)) readRequests(client);
            // A hang-up while its requests are held back: nobody is left to answer.
            if (!client.closed && (revents & (POLLHUP | POLLERR)) && !(revents & POLLIN)) close(client, "closed by peer");
        }
        if (deviceLeft_) {
            goAway();
            continue;
        }

        for (auto& client : clients_) {
            if (!client->closed && client->device.msUntilDue() == 0) sendStreamData(*client);
        }
        std::erase_if(clients_, [](const auto& client) { return client->closed; });

        if (settings_.stateDir && model_.persistentChanges() != savedChanges_ && now - lastRequestTick_ >= kIdleSaveMs) {
            saveState("idle");
        }
    }
}

bool Z6Server::shutdown() {
    closeAll("exiting");
    unplugUsb();
    stopListening();
    if (settings_.stateDir) saveState("exit");
    return !saveFailed_;
}

}  // namespace z6sim
