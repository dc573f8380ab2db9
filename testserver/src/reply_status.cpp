#include "reply_status.h"

#include <array>
#include <stdexcept>

namespace testserver {

namespace {

constexpr std::array kStatuses = {
    ReplyStatus{Outcome::Done, 200, "done (allocations and reports are committed first)"},
    ReplyStatus{Outcome::UnknownCommand, 400, "unknown command"},
    ReplyStatus{Outcome::Malformed, 400, "malformed line"},
    ReplyStatus{Outcome::BinaryBytes, 400, "control or NUL bytes in the line"},
    ReplyStatus{Outcome::NotLoggedIn, 401, "log in first"},
    ReplyStatus{Outcome::WrongPassword, 401, "login refused: wrong password word"},
    ReplyStatus{Outcome::LoginRefused, 403, "login refused: wrong program, version or station id"},
    ReplyStatus{Outcome::LineTooLong, 413, "line longer than 64 KiB"},
    ReplyStatus{Outcome::TooManyConnections, 421, "too many connections; closed"},
    ReplyStatus{Outcome::DatabaseFailed, 500, "database failure; nothing was recorded"},
    ReplyStatus{Outcome::RangeUsedUp, 503, "serial or MAC range used up"},
};

}  // namespace

std::span<const ReplyStatus> replyStatuses() { return kStatuses; }

const ReplyStatus& replyStatus(Outcome outcome) {
    for (const ReplyStatus& entry : kStatuses) {
        if (entry.outcome == outcome) return entry;
    }
    throw std::logic_error("an outcome without a reply status");
}

std::string formatReply(int status, std::string_view value) {
    std::string reply = std::to_string(status);
    if (!value.empty()) {
        reply += ' ';
        reply += value;
    }
    reply += "\r\n";
    return reply;
}

}  // namespace testserver
