#include "platform/posix/com_port_path.h"

#include <cstdlib>

namespace platform {

std::optional<std::string> comPortPath(std::wstring_view name, const std::string& comDir) {
    if (!name.empty() && name.back() == L':') name.remove_suffix(1);
    constexpr std::wstring_view kPrefix = L"COM";
    if (name.size() <= kPrefix.size() || name.size() > kPrefix.size() + 3 || name.substr(0, 3) != kPrefix) {
        return std::nullopt;
    }
    unsigned number = 0;
    for (const wchar_t digit : name.substr(kPrefix.size())) {
        if (digit < L'0' || digit > L'9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(digit - L'0');
    }
    if (number == 0 || name[kPrefix.size()] == L'0') return std::nullopt;
    if (!comDir.empty()) return comDir + "/COM" + std::to_string(number);
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::optional<std::string> comPortPath(std::wstring_view name) {
    const char* dir = std::getenv(kComDirVariable);
    return comPortPath(name, dir != nullptr ? dir : "");
}

}  // namespace platform
