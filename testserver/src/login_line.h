// The login line: ID <program> <version> DQTJ:<station> PW:<password word>.
#pragma once

#include "reply_status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace testserver {

inline constexpr std::string_view kStationProgram = "DQTestZ6";

struct LoginCheck {
    Outcome outcome = Outcome::LoginRefused;  // Done when accepted
    std::string reason;                       // why not, for the log and the database
    std::string program;                      // as sent, when the line had the form
    std::string version;
    std::optional<std::uint32_t> stationId;
};

LoginCheck checkLogin(std::string_view line, std::uint32_t password);

// The line with the password word replaced by ********, fit to be stored.
std::string maskPassword(std::string_view line);

}  // namespace testserver
