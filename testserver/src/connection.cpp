#include "connection.h"

#include "commands.h"
#include "line_buffer.h"
#include "reply_status.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstring>
#include <string>

namespace testserver {

namespace {

using Clock = std::chrono::steady_clock;

// Past this much of one over-long line the connection is dropped.
constexpr std::size_t kMaxSkippedBytes = 16 * kMaxLineBytes;
constexpr std::size_t kReadChunk = 16 * 1024;
// The first part of a split reply, and the pause before the rest.
constexpr std::size_t kSplitBytes = 2;
constexpr int kSplitPauseMs = 50;

class Connection {
public:
    Connection(SocketFd socket, const ConnectionContext& context)
        : socket_(std::move(socket)),
          context_(context),
          peer_(peerName(socket_.get())),
          session_(context.store, context.settings, context.log, peer_),
          lines_(kMaxLineBytes) {}

    void serve();

private:
    enum class Next { Continue, Close };

    Next handleLine(const std::string& line);
    Next send(const std::string& bytes, bool split);
    int idleMsLeft() const;
    void note(const std::string& text) { context_.log.line(peer_ + ": " + text); }

    SocketFd socket_;
    const ConnectionContext& context_;
    std::string peer_;
    Session session_;
    LineBuffer lines_;
    Clock::time_point lastActivity_ = Clock::now();
};

int Connection::idleMsLeft() const {
    const auto idle = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - lastActivity_).count();
    const auto left = std::int64_t{context_.idleTimeoutMs} * 1000 - idle;
    return left > 0 ? static_cast<int>((left + 999) / 1000) : 0;  // rounded up: never early
}

void Connection::serve() {
    note("connected");
    char chunk[kReadChunk];
    for (;;) {
        switch (waitReadable(socket_.get(), context_.stopFd, idleMsLeft())) {
            case Wait::Ready: break;
            case Wait::Stopped: note("closed: the server stops"); return;
            case Wait::TimedOut:
                note("closed: idle for " + std::to_string(context_.idleTimeoutMs) + " ms" +
                     (lines_.pending() > 0 ? " in the middle of a line (" + std::to_string(lines_.pending()) + " bytes)"
                                           : ""));
                return;
            case Wait::Failed: note("closed: cannot wait for input: " + std::string(std::strerror(errno))); return;
        }
        const ssize_t got = ::recv(socket_.get(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            note("closed: " + std::string(std::strerror(errno)));
            return;
        }
        if (got == 0) {
            note(lines_.pending() > 0 ? "closed by the station in the middle of a line; " +
                                            std::to_string(lines_.pending()) + " bytes dropped"
                                      : "closed by the station");
            return;
        }
        lastActivity_ = Clock::now();
        lines_.append(std::string_view(chunk, static_cast<std::size_t>(got)));
        while (const auto item = lines_.next()) {
            if (!pause(context_.stopFd, 0)) {  // lines sent ahead wait no longer than one
                note("closed: the server stops");
                return;
            }
            Next next = Next::Continue;
            if (item->tooLong) {
                const ReplyStatus& status = replyStatus(Outcome::LineTooLong);
                note(std::to_string(status.status) + " " + std::string(status.meaning) + "; skipping to its end");
                next = send(formatReply(status.status), false);
            } else {
                next = handleLine(item->text);
            }
            if (next == Next::Close) return;
        }
        if (lines_.skipped() > kMaxSkippedBytes) {
            note("closed: " + std::to_string(lines_.skipped()) + " bytes without a line end");
            return;
        }
    }
}

Connection::Next Connection::handleLine(const std::string& line) {
    const auto command = commandOf(line);
    const FaultPlan plan = command ? context_.faults.planFor(*command) : FaultPlan{};
    for (const std::string& fault : plan.applied) note("fault " + fault);

    const Reply reply = plan.status ? session_.refuse(*command, *plan.status, line) : session_.handle(line);
    if (plan.delayMs > 0 && !pause(context_.stopFd, plan.delayMs)) {
        note("closed: the server stops");
        return Next::Close;
    }
    if (plan.close) {
        note("fault: closed without answering " + std::to_string(reply.status));
        return Next::Close;
    }
    if (plan.silent) {
        note("fault: not answering " + std::to_string(reply.status));
        lastActivity_ = Clock::now();
        return Next::Continue;
    }
    return send(formatReply(reply.status, reply.value), plan.split);
}

Connection::Next Connection::send(const std::string& bytes, bool split) {
    const std::size_t first = split ? kSplitBytes : bytes.size();
    bool sent =
        sendAll(socket_.get(), std::string_view(bytes).substr(0, first), context_.stopFd, context_.idleTimeoutMs);
    if (sent && split) {
        sent = pause(context_.stopFd, kSplitPauseMs) &&
               sendAll(socket_.get(), std::string_view(bytes).substr(first), context_.stopFd, context_.idleTimeoutMs);
    }
    if (!sent) {
        note("closed: the reply could not be sent");
        return Next::Close;
    }
    lastActivity_ = Clock::now();
    return Next::Continue;
}

}  // namespace

void serveConnection(SocketFd socket, const ConnectionContext& context) {
    Connection connection(std::move(socket), context);
    connection.serve();
}

}  // namespace testserver
