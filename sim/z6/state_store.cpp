#include "z6/state_store.h"

#include "z6/flash.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace z6 {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr int kSettingsVersion = 1;

std::string toHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> fromHex(const std::string& text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

void writeFileAtomically(const fs::path& path, std::span<const char> content) {
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw StateError("cannot write " + temporary.string());
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw StateError("cannot replace " + path.string() + ": " + error.message());
    }
}

std::vector<char> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw StateError("cannot read " + path.string());
    std::vector<char> content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) throw StateError("cannot read " + path.string());
    return content;
}

std::optional<std::vector<std::uint8_t>> readFlashImage(const fs::path& path) {
    if (!fs::exists(path)) return std::nullopt;
    const std::vector<char> content = readFile(path);
    if (content.size() != Flash::kSize) {
        throw StateError(path.string() + " is " + std::to_string(content.size()) + " bytes; a Z6 flash image is " +
                         std::to_string(Flash::kSize));
    }
    return std::vector<std::uint8_t>(content.begin(), content.end());
}

// The persistent block starting at address, or nullptr.
const RegisterDefinition* persistentBlock(const std::vector<RegisterDefinition>& layout, long address) {
    const auto found = std::find_if(layout.begin(), layout.end(), [address](const RegisterDefinition& d) {
        return d.address == address && d.persistence == Persistence::Persistent;
    });
    return found == layout.end() ? nullptr : &*found;
}

RegisterValues readSettings(const fs::path& path, const RegisterMap& layout) {
    RegisterValues settings;
    if (!fs::exists(path)) return settings;
    const std::vector<char> content = readFile(path);
    const std::string where = path.string();
    Json json;
    try {
        json = Json::parse(content.begin(), content.end());
    } catch (const Json::exception& e) {
        throw StateError(where + ": invalid JSON: " + e.what());
    }
    if (!json.is_object() || json.size() != 2 || !json.contains("version") || json["version"] != kSettingsVersion ||
        !json.contains("registers") || !json["registers"].is_object()) {
        throw StateError(where + ": expected {\"version\": 1, \"registers\": {...}} and nothing else");
    }
    const std::vector<RegisterDefinition> definitions = layout.definitions();
    for (const auto& [key, value] : json["registers"].items()) {
        const bool numeric = !key.empty() && key.size() <= 5 &&
                             std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; });
        const RegisterDefinition* block = numeric ? persistentBlock(definitions, std::stol(key)) : nullptr;
        if (block == nullptr) throw StateError(where + ": '" + key + "' is not a persistent register");
        const std::optional<std::vector<std::uint8_t>> bytes =
            value.is_string() ? fromHex(value.get<std::string>()) : std::nullopt;
        if (!bytes || bytes->size() != std::size_t{block->maxWords} * 2) {
            throw StateError(where + ": register " + key + " (" + std::string(block->name) + ") must hold " +
                             std::to_string(block->maxWords * 2) + " bytes in hex");
        }
        settings[block->address] = *bytes;
    }
    return settings;
}

}  // namespace

void writeState(const fs::path& dir, std::span<const std::uint8_t> flashImage, const RegisterValues& settings) {
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir)) throw StateError("cannot create state directory " + dir.string());

    Json registers = Json::object();
    for (const auto& [address, bytes] : settings) registers[std::to_string(address)] = toHex(bytes);
    const std::string text = Json{{"version", kSettingsVersion}, {"registers", registers}}.dump(2) + "\n";

    writeFileAtomically(dir / kFlashImageFile,
                        {reinterpret_cast<const char*>(flashImage.data()), flashImage.size()});
    writeFileAtomically(dir / kSettingsFile, text);
}

StoredState readState(const fs::path& dir, const RegisterMap& layout) {
    try {
        if (fs::exists(dir) && !fs::is_directory(dir)) throw StateError(dir.string() + " is not a directory");
        StoredState state;
        state.flashImage = readFlashImage(dir / kFlashImageFile);
        state.settings = readSettings(dir / kSettingsFile, layout);
        return state;
    } catch (const fs::filesystem_error& e) {
        throw StateError(std::string("cannot read state: ") + e.what());
    }
}

}  // namespace z6
