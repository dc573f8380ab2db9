#include "session.h"

#include "commands.h"
#include "login_line.h"
#include "report_line.h"
#include "wire_text.h"

#include <ctime>
#include <utility>

namespace testserver {

namespace {

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

constexpr int kSerialDigits = 16;
constexpr int kMacDigits = 12;

}  // namespace

Session::Session(FactoryStore& store, const SessionSettings& settings, EventLog& log, std::string peer)
    : store_(store), settings_(settings), log_(log), peer_(std::move(peer)) {}

void Session::note(const std::string& text) { log_.line(peer_ + ": " + text); }

Reply Session::fail(Outcome outcome, const std::string& detail) {
    const ReplyStatus& status = replyStatus(outcome);
    note(std::to_string(status.status) + " " + std::string(status.meaning) + (detail.empty() ? "" : ": " + detail));
    return {status.status, {}};
}

Origin Session::origin() const { return {station_.value_or(0), peer_, now()}; }

Reply Session::handle(std::string_view line) {
    if (const auto at = firstControlByte(line)) {
        return fail(Outcome::BinaryBytes, "byte " + std::to_string(*at) + " of \"" + printable(line) + "\"");
    }
    const auto command = commandOf(line);
    if (!command) return fail(Outcome::UnknownCommand, "\"" + printable(line) + "\"");
    const CommandInfo& info = commandInfo(*command);
    if (info.needsLogin && !station_) return fail(Outcome::NotLoggedIn, std::string(info.name));

    switch (*command) {
        case Command::Login: return login(line);
        case Command::Serial: return allocate(AllocationKind::Serial, line);
        case Command::Mac: return allocate(AllocationKind::Mac, line);
        case Command::Test:
        case Command::QTest:
        case Command::Cal: return report(*command, line);
    }
    return fail(Outcome::UnknownCommand, "\"" + printable(line) + "\"");
}

Reply Session::refuse(Command command, int status, std::string_view line) {
    const std::string_view name = commandInfo(command).name;
    note("fault: answered " + std::to_string(status) + " to " + std::string(name) + ", not carried out");
    if (command == Command::Login) {
        station_.reset();
        const LoginCheck check = checkLogin(line, settings_.password);
        recordLogin({peer_, now(), check.stationId, check.program, check.version, false, status, "refused by a fault",
                     maskPassword(line)});
    }
    return {status, {}};
}

bool Session::recordLogin(const LoginRecord& record) {
    try {
        store_.recordLogin(record);
        return true;
    } catch (const DatabaseError& e) {
        note("cannot record the login: " + std::string(e.what()));
        return false;
    }
}

Reply Session::login(std::string_view line) {
    station_.reset();  // a login that fails logs the station out
    const LoginCheck check = checkLogin(line, settings_.password);
    const ReplyStatus& status = replyStatus(check.outcome);
    const bool accepted = check.outcome == Outcome::Done;
    const bool recorded = recordLogin({peer_, now(), check.stationId, check.program, check.version, accepted,
                                       status.status, accepted ? "" : check.reason, maskPassword(line)});
    if (!accepted) return fail(check.outcome, check.reason);
    // A login that is not on record is not accepted.
    if (!recorded) return fail(Outcome::DatabaseFailed, "login");
    station_ = check.stationId;
    note("login station " + stationText(*station_) + " (" + check.program + " " + check.version + ")");
    return {status.status, {}};
}

Reply Session::allocate(AllocationKind kind, std::string_view line) {
    const std::string_view name = kindName(kind);
    if (line != name) return fail(Outcome::Malformed, std::string(name) + " takes nothing after it");
    const bool serial = kind == AllocationKind::Serial;
    const ValueRange range = serial ? settings_.serials : settings_.macs;
    const std::optional<std::uint64_t> device = serial ? std::nullopt : lastSerial_;
    std::optional<std::uint64_t> value;
    try {
        value = store_.allocate(kind, range, device, origin());
    } catch (const DatabaseError& e) {
        return fail(Outcome::DatabaseFailed, std::string(name) + ": " + e.what());
    }
    if (!value) {
        const std::string bounds = serial
                                       ? std::to_string(range.first) + " to " + std::to_string(range.last)
                                       : hexValue(range.first, kMacDigits) + " to " + hexValue(range.last, kMacDigits);
        return fail(Outcome::RangeUsedUp, std::string(name) + "s " + bounds + " are all given out");
    }
    const int digits = serial ? kSerialDigits : kMacDigits;
    if (serial) lastSerial_ = *value;
    const std::string text = hexValue(*value, digits);
    const std::string detail =
        serial ? std::string("serial ") + std::to_string(*value) + " (" + text + ")"
               : "mac " + text + (device ? " for serial " + std::to_string(*device) : " for no serial");
    note(detail + " to station " + stationText(*station_));
    return {replyStatus(Outcome::Done).status, text};
}

Reply Session::report(Command command, std::string_view line) {
    const std::string_view name = commandInfo(command).name;
    const ReportParse parsed = parseReportLine(line, commandInfo(command).keyword);
    if (!parsed.report) return fail(Outcome::Malformed, std::string(name) + ": " + parsed.error);
    const ReportLine& report = *parsed.report;
    std::string summary;
    try {
        if (command == Command::Cal) {
            const std::vector<CalPoint> points = parseCalPoints(report.body);
            store_.recordCalibration(report.deviceId, origin(), report.body, points);
            std::size_t values = 0;
            for (const CalPoint& point : points) values += point.value ? 1 : 0;
            summary = std::to_string(points.size()) + " entries, " + std::to_string(values) + " with a value";
        } else {
            const std::vector<std::string> rows = splitRows(report.body);
            store_.recordRun(name, report.deviceId, origin(), report.body, rows);
            summary = std::to_string(rows.size()) + " rows";
        }
    } catch (const DatabaseError& e) {
        return fail(Outcome::DatabaseFailed, std::string(name) + ": " + e.what());
    }
    note(std::string(name) + " report for device " + hexValue(report.deviceId, kSerialDigits) + " from station " +
         stationText(*station_) + ": " + summary + ", " + std::to_string(line.size()) + " bytes");
    return {replyStatus(Outcome::Done).status, {}};
}

}  // namespace testserver
