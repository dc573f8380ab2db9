// Directory search on POSIX. Entries come sorted by name, so that a listing
// (and the file a prefix search picks) is the same on every run. Symbolic
// links are entries like files and never followed, so a link that points
// back up the tree cannot make a listing endless.
#include "platform/directory.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

class PosixDirectorySearch : public DirectorySearch {
public:
    PosixDirectorySearch(std::vector<DirectoryEntry> entries, bool readFailed)
        : entries_(std::move(entries)), readFailed_(readFailed) {}

    SearchStep next(DirectoryEntry& entry) override {
        if (readFailed_) return SearchStep::Failed;
        if (position_ == entries_.size()) return SearchStep::End;
        entry = entries_[position_++];
        return SearchStep::Entry;
    }

private:
    std::vector<DirectoryEntry> entries_;
    bool readFailed_;
    std::size_t position_ = 0;
};

bool isRealDirectory(const std::string& directory, const dirent& found) {
#ifdef _DIRENT_HAVE_D_TYPE
    if (found.d_type != DT_UNKNOWN) return found.d_type == DT_DIR;
#endif
    // Some file systems do not say; ask without following a link.
    struct stat status {};
    const std::string path = directory + '/' + found.d_name;
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

char pathSeparator() { return '/'; }

std::unique_ptr<DirectorySearch> searchDirectory(const std::string& directory, const std::string& mask) {
    DIR* handle = opendir(directory.c_str());
    if (handle == nullptr) return nullptr;
    std::vector<DirectoryEntry> entries;
    bool readFailed = false;
    for (;;) {
        errno = 0;
        const dirent* found = readdir(handle);
        if (found == nullptr) {
            readFailed = errno != 0;
            break;
        }
        if (fnmatch(mask.c_str(), found->d_name, 0) != 0) continue;
        entries.push_back({found->d_name, isRealDirectory(directory, *found)});
    }
    closedir(handle);
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return std::make_unique<PosixDirectorySearch>(std::move(entries), readFailed);
}

}  // namespace platform
