#include "login_line.h"

#include "wire_text.h"

#include <algorithm>
#include <vector>

namespace testserver {

namespace {

constexpr std::string_view kStationPrefix = "DQTJ:";
constexpr std::string_view kPasswordPrefix = "PW:";

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    for (std::size_t start = 0;;) {
        const std::size_t space = line.find(' ', start);
        result.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos) return result;
        start = space + 1;
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// As "%.02f" prints it: digits, a point, two digits.
bool isVersion(std::string_view text) {
    const std::size_t point = text.find('.');
    if (point == 0 || point == std::string_view::npos || text.size() - point != 3) return false;
    return std::all_of(text.begin(), text.begin() + static_cast<long>(point), isDigit) && isDigit(text[point + 1]) &&
           isDigit(text[point + 2]);
}

std::optional<std::uint32_t> prefixedWord(std::string_view word, std::string_view prefix) {
    if (word.substr(0, prefix.size()) != prefix) return std::nullopt;
    const auto value = parseHexDigits(word.substr(prefix.size()), 8);
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

}  // namespace

LoginCheck checkLogin(std::string_view line, std::uint32_t password) {
    LoginCheck check;
    const std::vector<std::string_view> parts = words(line);
    if (parts.size() != 5 || parts[0] != "ID") {
        check.reason = "not in the form ID <program> <version> DQTJ:<8 hex> PW:<8 hex>";
        return check;
    }
    check.program = parts[1];
    check.version = parts[2];
    check.stationId = prefixedWord(parts[3], kStationPrefix);
    const auto word = prefixedWord(parts[4], kPasswordPrefix);
    if (check.program != kStationProgram) {
        check.reason = "program \"" + printable(check.program) + "\" is not " + std::string(kStationProgram);
    } else if (!isVersion(check.version)) {
        check.reason = "version \"" + printable(check.version) + "\" is not in the form n.nn";
    } else if (!check.stationId) {
        check.reason = "station id \"" + printable(parts[3]) + "\" is not DQTJ: and 8 hex digits";
    } else if (!word) {
        check.reason = "password word \"" + printable(parts[4].substr(0, kPasswordPrefix.size())) +
                       "...\" is not PW: and 8 hex digits";
    } else if (*word != password) {
        check.outcome = Outcome::WrongPassword;
        check.reason = "wrong password word";
    } else {
        check.outcome = Outcome::Done;
    }
    return check;
}

std::string maskPassword(std::string_view line) {
    std::string masked(line);
    const std::size_t at = masked.find(" PW:");
    if (at == std::string::npos) return masked;
    const std::size_t start = at + 1 + kPasswordPrefix.size();
    const std::size_t end = std::min(masked.find(' ', start), masked.size());
    masked.replace(start, end - start, "********");
    return masked;
}

}  // namespace testserver
