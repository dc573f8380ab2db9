#include "firmware/find_file.h"

#include "platform/directory.h"
#include "sequencer/text.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// Relative names longer than this are cut before they are compared.
constexpr std::size_t kMaxRelativeName = 100;
// The name must start within this many characters of the path.
constexpr std::size_t kNameSearchWindow = 31;

// Digits, upper-case letters and the signs between them, lower-case letters.
bool startsName(unsigned char c) { return (c >= 48 && c <= 90) || (c >= 97 && c <= 122); }

}  // namespace

bool findFileByPrefix(const char* prefix, char (&name)[kFileNameSize]) {
    std::vector<std::string> paths;
    if (!platform::listFiles(".", "*", paths) || paths.empty()) return false;

    const std::size_t prefixLength = std::strlen(prefix);
    for (const std::string& path : paths) {
        // Drop the "." of the starting directory; what follows is the
        // separator and the name relative to it.
        const std::string relative = path.substr(1, kMaxRelativeName);
        std::size_t start = 0;
        while (start < relative.size() && start < kNameSearchWindow &&
               !startsName(static_cast<unsigned char>(relative[start])))
            ++start;
        if (start == relative.size() || start == kNameSearchWindow) continue;
        const char* candidate = relative.c_str() + start;
        if (std::strncmp(candidate, prefix, prefixLength) == 0) {
            text::copy(name, candidate);
            return true;
        }
    }
    return false;
}
