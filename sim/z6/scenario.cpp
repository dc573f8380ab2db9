#include "z6/scenario.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string_view>
#include <type_traits>

#ifndef Z6_SCENARIO_DIR
#error "Z6_SCENARIO_DIR must name the directory of the shipped scenarios"
#endif

namespace z6 {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// Bounds an extends chain (the scenario itself included).
constexpr std::size_t kMaxChainLength = 8;

// Largest value of an unsigned field, or longest text; kNoLimit: what the
// field's type holds.
constexpr std::uint64_t kNoLimit = 0;

template <class T>
T convert(const Json& value, const std::string& where, std::uint64_t limit);

template <>
float convert<float>(const Json& value, const std::string& where, std::uint64_t) {
    if (!value.is_number()) throw ScenarioError(where + " must be a number");
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::fabs(number) > FLT_MAX) {
        throw ScenarioError(where + " is out of range for a 32-bit float");
    }
    return static_cast<float>(number);
}

template <>
std::uint32_t convert<std::uint32_t>(const Json& value, const std::string& where, std::uint64_t limit) {
    const std::uint64_t largest = limit == kNoLimit ? UINT32_MAX : limit;
    // Non-negative integers parse as unsigned; negative ones and fractions do not.
    if (!value.is_number_unsigned() || value.get<std::uint64_t>() > largest) {
        throw ScenarioError(where + " must be a whole number from 0 to " + std::to_string(largest));
    }
    return static_cast<std::uint32_t>(value.get<std::uint64_t>());
}

template <>
std::int32_t convert<std::int32_t>(const Json& value, const std::string& where, std::uint64_t) {
    const bool fits = value.is_number_unsigned()
                          ? value.get<std::uint64_t>() <= INT32_MAX
                          : value.is_number_integer() && value.get<std::int64_t>() >= INT32_MIN &&
                                value.get<std::int64_t>() <= INT32_MAX;
    if (!fits) {
        throw ScenarioError(where + " must be a whole number from -2147483648 to 2147483647");
    }
    return static_cast<std::int32_t>(value.get<std::int64_t>());
}

template <>
bool convert<bool>(const Json& value, const std::string& where, std::uint64_t) {
    if (!value.is_boolean()) throw ScenarioError(where + " must be true or false");
    return value.get<bool>();
}

template <>
std::string convert<std::string>(const Json& value, const std::string& where, std::uint64_t limit) {
    if (!value.is_string()) throw ScenarioError(where + " must be a string");
    std::string text = value.get<std::string>();
    if (limit != kNoLimit && text.size() > limit) {
        throw ScenarioError(where + " must be at most " + std::to_string(limit) + " bytes long");
    }
    return text;
}

template <auto Section, auto Member, std::uint64_t Limit = kNoLimit>
void assign(Scenario& scenario, const Json& value, const std::string& where) {
    auto& field = (scenario.*Section).*Member;
    field = convert<std::remove_cvref_t<decltype(field)>>(value, where, Limit);
}

// The values a float field takes, and how a message names them.
struct FloatRange {
    float min;
    float max;
    const char* text;
};
constexpr FloatRange kGainFactor{0.0f, 1000.0f, "from 0 to 1000"};
constexpr FloatRange kRatio{0.0f, 1.0f, "from 0 to 1"};
constexpr FloatRange kNoiseVolts{0.0f, 10.0f, "from 0 to 10"};
constexpr FloatRange kOffsetVolts{-5.0f, 5.0f, "from -5 to 5"};

template <auto Section, auto Member, const FloatRange& Range>
void assignWithin(Scenario& scenario, const Json& value, const std::string& where) {
    const float number = convert<float>(value, where, kNoLimit);
    if (!(number >= Range.min && number <= Range.max)) {
        throw ScenarioError(where + " must be a number " + Range.text);
    }
    (scenario.*Section).*Member = number;
}

// Line masks cover the digital lines.
constexpr std::uint64_t kLineMaskLimit = 0x7FFFFF;

// Every value a scenario may set: section, key, where it goes.
struct Field {
    std::string_view section;
    std::string_view key;
    void (*assign)(Scenario&, const Json&, const std::string&);
};

constexpr Field kFields[] = {
    {"identity", "productId", assign<&Scenario::identity, &Identity::productId>},
    {"identity", "options", assign<&Scenario::identity, &Identity::options>},
    {"identity", "hardwareVersion", assign<&Scenario::identity, &Identity::hardwareVersion>},
    {"identity", "firmwareVersion", assign<&Scenario::identity, &Identity::firmwareVersion>},
    {"identity", "bootstrapVersion", assign<&Scenario::identity, &Identity::bootstrapVersion>},
    {"identity", "flashChipId", assign<&Scenario::identity, &Identity::flashChipId>},
    {"identity", "flashFlags", assign<&Scenario::identity, &Identity::flashFlags>},
    {"identity", "wifiVersion", assign<&Scenario::identity, &Identity::wifiVersion>},
    {"identity", "recoveryVersion", assign<&Scenario::identity, &Identity::recoveryVersion>},
    {"analog", "supplyVolts", assign<&Scenario::analog, &AnalogSettings::supplyVolts>},
    {"analog", "supplyAmps", assign<&Scenario::analog, &AnalogSettings::supplyAmps>},
    {"analog", "vmPlusVolts", assign<&Scenario::analog, &AnalogSettings::vmPlusVolts>},
    {"analog", "vmMinusVolts", assign<&Scenario::analog, &AnalogSettings::vmMinusVolts>},
    {"analog", "temperatureK", assign<&Scenario::analog, &AnalogSettings::temperatureK>},
    {"analog", "noiseSeed", assign<&Scenario::analog, &AnalogSettings::noiseSeed>},
    {"settings", "factoryStartup", assign<&Scenario::settings, &StoredSettings::factoryStartup>},
    {"settings", "name", assign<&Scenario::settings, &StoredSettings::name, 40>},
    {"clock", "offsetSeconds", assign<&Scenario::clock, &ClockSettings::offsetSeconds>},
    {"jig", "present", assign<&Scenario::jig, &JigSettings::present>},
    {"jig", "type", assign<&Scenario::jig, &JigSettings::type, 0xFFFF>},
    {"jig", "code", assign<&Scenario::jig, &JigSettings::code, 0xFF>},
    {"jig", "wiredCode", assign<&Scenario::jig, &JigSettings::wiredCode, 0x1F>},
    {"jig", "memoryBlank", assign<&Scenario::jig, &JigSettings::memoryBlank>},
    {"jig", "vmPlusRatio", assign<&Scenario::jig, &JigSettings::vmPlusRatio>},
    {"jig", "vmMinusRatio", assign<&Scenario::jig, &JigSettings::vmMinusRatio>},
    {"jig", "load200uAOhms", assign<&Scenario::jig, &JigSettings::load200uAOhms>},
    {"jig", "constant4", assign<&Scenario::jig, &JigSettings::constant4>},
    {"jig", "load10uAOhms", assign<&Scenario::jig, &JigSettings::load10uAOhms>},
    {"jig", "senseOhms", assign<&Scenario::jig, &JigSettings::senseOhms>},
    {"jig", "biasShuntOhms", assign<&Scenario::jig, &JigSettings::biasShuntOhms>},
    {"jig", "ambientK", assign<&Scenario::jig, &JigSettings::ambientK>},
    {"jig", "dacLoopbacksSwapped", assign<&Scenario::jig, &JigSettings::dacLoopbacksSwapped>},
    {"jig", "referenceDivider", assignWithin<&Scenario::jig, &JigSettings::referenceDivider, kRatio>},
    {"faults", "flashReadBusy", assign<&Scenario::faults, &Faults::flashReadBusy>},
    {"faults", "dac0Stuck", assign<&Scenario::faults, &Faults::dac0Stuck>},
    {"faults", "dac1Stuck", assign<&Scenario::faults, &Faults::dac1Stuck>},
    {"faults", "dac0OffsetVolts", assignWithin<&Scenario::faults, &Faults::dac0OffsetVolts, kOffsetVolts>},
    {"faults", "diagnosticCode", assign<&Scenario::faults, &Faults::diagnosticCode, 0xFFFF>},
    {"faults", "gain10V", assignWithin<&Scenario::faults, &Faults::gain10V, kGainFactor>},
    {"faults", "gain1V", assignWithin<&Scenario::faults, &Faults::gain1V, kGainFactor>},
    {"faults", "gain100mV", assignWithin<&Scenario::faults, &Faults::gain100mV, kGainFactor>},
    {"faults", "gain10mV", assignWithin<&Scenario::faults, &Faults::gain10mV, kGainFactor>},
    {"faults", "quietInputNoiseVolts", assignWithin<&Scenario::faults, &Faults::quietInputNoiseVolts, kNoiseVolts>},
    {"faults", "quietInputNoisyReads", assign<&Scenario::faults, &Faults::quietInputNoisyReads>},
    {"faults", "dioStuckHigh", assign<&Scenario::faults, &Faults::dioStuckHigh, kLineMaskLimit>},
    {"faults", "dioStuckLow", assign<&Scenario::faults, &Faults::dioStuckLow, kLineMaskLimit>},
    {"faults", "dioShorted", assign<&Scenario::faults, &Faults::dioShorted, kLineMaskLimit>},
};

// Top-level keys besides the sections.
constexpr std::string_view kTextKeys[] = {"name", "description", "extends"};

bool isSection(std::string_view key) {
    return std::any_of(std::begin(kFields), std::end(kFields), [&](const Field& f) { return f.section == key; });
}

const Field* findField(std::string_view section, std::string_view key) {
    const auto found = std::find_if(std::begin(kFields), std::end(kFields),
                                    [&](const Field& f) { return f.section == section && f.key == key; });
    return found == std::end(kFields) ? nullptr : &*found;
}

std::string joined(const std::vector<std::string>& names, std::string_view separator) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : std::string(separator)) + name;
    return text;
}

// The keys allowed at the top level (section empty) or in a section.
std::string knownKeys(std::string_view section) {
    std::vector<std::string> keys;
    auto add = [&keys](std::string_view key) {
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.emplace_back(key);
    };
    if (section.empty()) {
        for (std::string_view key : kTextKeys) add(key);
        for (const Field& f : kFields) add(f.section);
    } else {
        for (const Field& f : kFields)
            if (f.section == section) add(f.key);
    }
    return joined(keys, ", ");
}

bool isValidName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

struct ScenarioFile {
    std::string name;
    std::string where;  // the file, for messages
    Json content;
};

ScenarioFile readScenarioFile(const std::string& name, const fs::path& dir, const std::string& extendedBy) {
    if (!isValidName(name)) {
        throw ScenarioError("scenario name '" + name + "' may hold only letters, digits, '-' and '_'");
    }
    const fs::path path = dir / (name + ".json");
    if (!fs::is_regular_file(path)) {
        std::string message = "no scenario '" + name + "'";
        if (!extendedBy.empty()) message += " (extended by '" + extendedBy + "')";
        std::vector<std::string> available;
        if (fs::is_directory(dir)) available = listScenarios(dir);
        message += " in " + dir.string() + "; available: " + (available.empty() ? "none" : joined(available, ", "));
        throw ScenarioError(message);
    }
    ScenarioFile file{name, path.string(), {}};
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ScenarioError(file.where + ": cannot be read");
    try {
        file.content = Json::parse(in);
    } catch (const Json::exception& e) {
        throw ScenarioError(file.where + ": invalid JSON: " + e.what());
    }
    if (!file.content.is_object()) throw ScenarioError(file.where + ": must hold a JSON object");
    for (std::string_view key : kTextKeys) {
        const auto value = file.content.find(key);
        if (value != file.content.end() && !value->is_string()) {
            throw ScenarioError(file.where + ": '" + std::string(key) + "' must be a string");
        }
    }
    if (file.content.contains("name") && file.content["name"].get<std::string>() != name) {
        throw ScenarioError(file.where + ": names itself '" + file.content["name"].get<std::string>() +
                            "', not '" + name + "'");
    }
    return file;
}

// The file's values over those already in scenario.
void applyFile(const ScenarioFile& file, Scenario& scenario) {
    for (const auto& [section, values] : file.content.items()) {
        if (std::find(std::begin(kTextKeys), std::end(kTextKeys), section) != std::end(kTextKeys)) continue;
        if (!isSection(section)) {
            throw ScenarioError(file.where + ": unknown key '" + section + "' (known: " + knownKeys("") + ")");
        }
        if (!values.is_object()) throw ScenarioError(file.where + ": '" + section + "' must be an object");
        for (const auto& [key, value] : values.items()) {
            const Field* field = findField(section, key);
            if (field == nullptr) {
                throw ScenarioError(file.where + ": unknown key '" + section + "." + key + "' (known in " + section +
                                    ": " + knownKeys(section) + ")");
            }
            field->assign(scenario, value, file.where + ": " + section + "." + key);
        }
    }
}

}  // namespace

fs::path defaultScenarioDir() { return Z6_SCENARIO_DIR; }

Scenario loadScenario(const std::string& name) { return loadScenario(name, defaultScenarioDir()); }

Scenario loadScenario(const std::string& name, const fs::path& dir) {
    std::vector<ScenarioFile> chain;  // the scenario first, then what it extends
    std::vector<std::string> names;
    chain.push_back(readScenarioFile(name, dir, ""));
    names.push_back(name);
    while (chain.back().content.contains("extends")) {
        const std::string base = chain.back().content["extends"].get<std::string>();
        names.push_back(base);
        if (std::find(names.begin(), names.end() - 1, base) != names.end() - 1) {
            throw ScenarioError("scenario '" + name + "' extends in a cycle: " + joined(names, " -> "));
        }
        if (chain.size() == kMaxChainLength) {
            throw ScenarioError("scenario '" + name + "' extends more than " + std::to_string(kMaxChainLength - 1) +
                                " levels deep: " + joined(names, " -> "));
        }
        chain.push_back(readScenarioFile(base, dir, chain.back().name));
    }

    Scenario scenario;
    scenario.name = name;
    scenario.description = chain.front().content.value("description", "");
    for (auto file = chain.rbegin(); file != chain.rend(); ++file) applyFile(*file, scenario);
    return scenario;
}

std::vector<std::string> listScenarios(const fs::path& dir) {
    std::error_code error;
    if (!fs::is_directory(dir, error)) throw ScenarioError("scenario directory " + dir.string() + " does not exist");
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        const fs::path& path = entry.path();
        if (entry.is_regular_file() && path.extension() == ".json" && isValidName(path.stem().string())) {
            names.push_back(path.stem().string());
        }
    }
    if (error) throw ScenarioError("scenario directory " + dir.string() + " cannot be read: " + error.message());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace z6
