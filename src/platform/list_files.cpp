// The recursive listing, the same on every platform: a stack of directories
// still to visit, files appended as they are found, and the directories
// listed so far, so that one reached again through a link is passed over.
#include "platform/directory.h"

#include <set>

namespace platform {

bool listFiles(const std::string& directory, const std::string& mask, std::vector<std::string>& paths) {
    return listFiles(directory, mask, paths, searchDirectory);
}

bool listFiles(const std::string& directory, const std::string& mask, std::vector<std::string>& paths,
               const DirectorySearcher& search) {
    const char separator = pathSeparator();
    std::vector<std::string> toVisit{directory};
    std::set<std::string> visited;
    while (!toVisit.empty()) {
        const std::string current = std::move(toVisit.back());
        toVisit.pop_back();
        const std::unique_ptr<DirectorySearch> entries = search(current, mask);
        if (!entries) return false;
        const std::string identity = entries->identity();
        if (!identity.empty() && !visited.insert(identity).second) continue;  // listed already
        DirectoryEntry entry;
        SearchStep step;
        while ((step = entries->next(entry)) == SearchStep::Entry) {
            if (entry.name == "." || entry.name == "..") continue;
            std::string path = current + separator + entry.name;
            if (entry.isDirectory) {
                toVisit.push_back(std::move(path));
            } else {
                paths.push_back(std::move(path));
            }
        }
        if (step == SearchStep::Failed) return false;
    }
    return true;
}

}  // namespace platform
