// Result and calibration reports: KEYWORD 0x<device, 16 hex> {BODY}. Texts
// in a body are not escaped, so splitting is best effort; the body itself is
// always kept as received.
#pragma once

#include "testserver/history.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testserver {

struct ReportLine {
    std::uint64_t deviceId = 0;
    std::string_view body;  // between the first " {" and the final "}"
};

struct ReportParse {
    std::optional<ReportLine> report;
    std::string error;  // why not, when no report
};

ReportParse parseReportLine(std::string_view line, std::string_view keyword);

// The rows a body joins with ";"; none for an empty body.
std::vector<std::string> splitRows(std::string_view body);

// Each entry as NAME:VALUE split at its last ':' when what follows is a
// number (nan and inf too); the meter's texts and anything else as text.
std::vector<CalPoint> parseCalPoints(std::string_view body);

// A value as the station wrote it, or nullopt when it is not a whole number.
std::optional<double> parseCalValue(std::string_view text);

}  // namespace testserver
