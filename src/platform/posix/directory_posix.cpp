// Directory search on POSIX. Entries come sorted by name, so that a listing
// (and the file a prefix search picks) is the same on every run. A symbolic
// link is what it points to: a link to a directory is a directory, a broken
// link an entry like a file. A search's identity is its directory's device
// and inode, which lets a listing pass over a directory it has listed.
#include "platform/directory.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace platform {
namespace {

class PosixDirectorySearch : public DirectorySearch {
public:
    PosixDirectorySearch(std::vector<DirectoryEntry> entries, bool readFailed, std::string identity)
        : entries_(std::move(entries)), readFailed_(readFailed), identity_(std::move(identity)) {}

    SearchStep next(DirectoryEntry& entry) override {
        if (readFailed_) return SearchStep::Failed;
        if (position_ == entries_.size()) return SearchStep::End;
        entry = entries_[position_++];
        return SearchStep::Entry;
    }

    std::string identity() const override { return identity_; }

private:
    std::vector<DirectoryEntry> entries_;
    bool readFailed_;
    std::string identity_;
    std::size_t position_ = 0;
};

bool isDirectory(const std::string& directory, const dirent& found) {
#ifdef _DIRENT_HAVE_D_TYPE
    if (found.d_type == DT_DIR) return true;
    if (found.d_type != DT_UNKNOWN && found.d_type != DT_LNK) return false;
#endif
    // A link, or a file system that does not say: ask what the name leads to.
    struct stat status {};
    const std::string path = directory + '/' + found.d_name;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string identityOf(DIR* handle) {
    struct stat status {};
    if (fstat(dirfd(handle), &status) != 0) return {};
    return std::to_string(status.st_dev) + ':' + std::to_string(status.st_ino);
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
        entries.push_back({found->d_name, isDirectory(directory, *found)});
    }
    std::string identity = identityOf(handle);
    closedir(handle);
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    return std::make_unique<PosixDirectorySearch>(std::move(entries), readFailed, std::move(identity));
}

}  // namespace platform
