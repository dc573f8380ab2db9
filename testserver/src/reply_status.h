// The statuses the server answers with. A reply is the three-digit status,
// for serial and mac a space and the value, then CR LF.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace testserver {

enum class Outcome {
    Done,
    UnknownCommand,
    Malformed,
    BinaryBytes,
    NotLoggedIn,
    WrongPassword,
    LoginRefused,
    LineTooLong,
    TooManyConnections,
    DatabaseFailed,
    RangeUsedUp,
};

struct ReplyStatus {
    Outcome outcome;
    int status;
    std::string_view meaning;
};

// Every outcome with its status and what it means, for replies, logs and --help.
std::span<const ReplyStatus> replyStatuses();
const ReplyStatus& replyStatus(Outcome outcome);

// "200\r\n", or with a value "200 0x...\r\n"; status has three digits.
std::string formatReply(int status, std::string_view value = {});

}  // namespace testserver
