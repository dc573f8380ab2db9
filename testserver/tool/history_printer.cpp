#include "history_printer.h"

#include "wire_text.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <string>

namespace dqtest_server {

namespace {

using testserver::History;
using testserver::hexValue;
using testserver::stationText;

std::string localTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[32] = "?";
    if (::localtime_r(&time, &parts) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string latin1ToUtf8(const std::string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

std::string allocationValue(const testserver::Allocation& allocation) {
    if (allocation.kind == "serial")
        return std::to_string(allocation.value) + " (" + hexValue(allocation.value, 16) + ")";
    return hexValue(allocation.value, 12);
}

std::string origin(std::int64_t time, std::uint32_t stationId, const std::string& peer) {
    return localTime(time) + "  station " + stationText(stationId) + "  " + peer;
}

}  // namespace

void printHistoryText(std::ostream& out, std::uint64_t deviceId, const History& history) {
    out << "device " << deviceId << " (" << hexValue(deviceId, 16) << ")\n";
    out << "allocations, newest first:\n";
    if (history.allocations.empty()) out << "  none\n";
    for (const auto& allocation : history.allocations) {
        out << "  " << origin(allocation.time, allocation.stationId, allocation.peer) << "  " << allocation.kind << " "
            << allocationValue(allocation) << "\n";
    }
    out << "runs, newest first:\n";
    if (history.runs.empty()) out << "  none\n";
    for (const auto& run : history.runs) {
        out << "  " << origin(run.time, run.stationId, run.peer) << "  " << run.kind << ", " << run.rows.size()
            << " rows\n";
        for (const auto& row : run.rows) out << "    " << row.text << "\n";
    }
    out << "calibrations, newest first:\n";
    if (history.calibrations.empty()) out << "  none\n";
    for (const auto& calibration : history.calibrations) {
        out << "  " << origin(calibration.time, calibration.stationId, calibration.peer) << "  "
            << calibration.points.size() << " entries\n";
        // As the station wrote each entry, less what a ';' in a text cut off.
        for (const auto& point : calibration.points) {
            out << "    " << point.name << (point.value ? ":" : point.name.empty() ? "" : ": ") << point.text << "\n";
        }
    }
}

void printHistoryJson(std::ostream& out, std::uint64_t deviceId, const History& history) {
    // Keys in the order a reader expects, not sorted.
    using json = nlohmann::ordered_json;
    json allocations = json::array();
    for (const auto& allocation : history.allocations) {
        allocations.push_back({{"kind", allocation.kind},
                               {"value", allocation.value},
                               {"hex", hexValue(allocation.value, allocation.kind == "serial" ? 16 : 12)},
                               {"station", stationText(allocation.stationId)},
                               {"peer", allocation.peer},
                               {"time", allocation.time}});
    }
    json runs = json::array();
    for (const auto& run : history.runs) {
        json rows = json::array();
        for (const auto& row : run.rows) rows.push_back(latin1ToUtf8(row.text));
        runs.push_back({{"kind", run.kind},
                        {"station", stationText(run.stationId)},
                        {"peer", run.peer},
                        {"time", run.time},
                        {"raw", latin1ToUtf8(run.raw)},
                        {"rows", rows}});
    }
    json calibrations = json::array();
    for (const auto& calibration : history.calibrations) {
        json points = json::array();
        for (const auto& point : calibration.points) {
            // NaN has no JSON form: it becomes null, and text keeps what was sent.
            points.push_back({{"name", latin1ToUtf8(point.name)},
                              {"value", point.value ? json(*point.value) : json(nullptr)},
                              {"text", latin1ToUtf8(point.text)}});
        }
        calibrations.push_back({{"station", stationText(calibration.stationId)},
                                {"peer", calibration.peer},
                                {"time", calibration.time},
                                {"raw", latin1ToUtf8(calibration.raw)},
                                {"points", points}});
    }
    const json document = {{"device", deviceId},
                           {"hex", hexValue(deviceId, 16)},
                           {"allocations", allocations},
                           {"runs", runs},
                           {"calibrations", calibrations}};
    out << document.dump(2) << "\n";
}

}  // namespace dqtest_server
