#include "report_line.h"

#include "wire_text.h"

#include <array>
#include <charconv>

namespace testserver {

namespace {

constexpr std::size_t kDeviceDigits = 16;
// Entries that are text even when what follows their last ':' looks like a number.
constexpr std::array<std::string_view, 2> kTextEntries = {"Meter Name", "Meter Serial"};

CalPoint textPoint(std::string_view entry) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos) return {"", std::nullopt, std::string(entry)};
    std::string_view text = entry.substr(colon + 1);
    if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return {std::string(entry.substr(0, colon)), std::nullopt, std::string(text)};
}

bool isTextEntry(std::string_view entry) {
    const std::string_view name = entry.substr(0, entry.find(':'));
    for (const std::string_view text : kTextEntries) {
        if (name == text) return true;
    }
    return false;
}

}  // namespace

ReportParse parseReportLine(std::string_view line, std::string_view keyword) {
    const std::string prefix = std::string(keyword) + " 0x";
    if (line.substr(0, prefix.size()) != prefix)
        return {std::nullopt, "no \" 0x\" and device id after " + std::string(keyword)};
    const auto deviceId = parseHexDigits(line.substr(prefix.size(), kDeviceDigits), kDeviceDigits);
    if (!deviceId) return {std::nullopt, "the device id is not 16 hex digits"};
    const std::size_t open = prefix.size() + kDeviceDigits;
    if (line.substr(open, 2) != " {") return {std::nullopt, "no \" {\" after the device id"};
    if (line.size() < open + 3 || line.back() != '}') return {std::nullopt, "the line does not end with \"}\""};
    const std::size_t bodyStart = open + 2;
    return {ReportLine{*deviceId, line.substr(bodyStart, line.size() - 1 - bodyStart)}, {}};
}

std::vector<std::string> splitRows(std::string_view body) {
    std::vector<std::string> rows;
    if (body.empty()) return rows;
    for (std::size_t start = 0;;) {
        const std::size_t end = body.find(';', start);
        rows.emplace_back(body.substr(start, end - start));
        if (end == std::string_view::npos) return rows;
        start = end + 1;
    }
}

std::optional<double> parseCalValue(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || stop != end || error != std::errc{}) return std::nullopt;
    return value;
}

std::vector<CalPoint> parseCalPoints(std::string_view body) {
    std::vector<CalPoint> points;
    for (const std::string& entry : splitRows(body)) {
        const std::size_t colon = entry.rfind(':');
        if (!isTextEntry(entry) && colon != std::string::npos) {
            const std::string_view valueText = std::string_view(entry).substr(colon + 1);
            if (const auto value = parseCalValue(valueText)) {
                points.push_back({entry.substr(0, colon), value, std::string(valueText)});
                continue;
            }
        }
        points.push_back(textPoint(entry));
    }
    return points;
}

}  // namespace testserver
