// Directory search and the recursive file listing built on it. A platform
// supplies the search of one directory (posix/directory_posix.cpp); the
// listing order is the same on every platform.
//
// Paths are 8-bit text. A platform whose file names are wider converts them
// in its search.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// The separator this platform puts between a directory and a name.
char pathSeparator();

struct DirectoryEntry {
    std::string name;  // the bare name, without the directory
    bool isDirectory = false;
};

enum class SearchStep { Entry, End, Failed };

// One open search of one directory; closed when destroyed.
class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;
    // The next entry (Entry), the end of the directory (End), or a failure
    // to read it further (Failed).
    virtual SearchStep next(DirectoryEntry& entry) = 0;
    // The same text for every search of the same directory, whatever path
    // (or link) reached it; empty when the platform cannot tell.
    virtual std::string identity() const { return {}; }
};

// Opens a search of the entries of directory whose names match mask ('*'
// any run of characters, '?' any one). "." and ".." may be among them. A
// link to a directory is a directory entry. Returns null when the directory
// cannot be searched.
std::unique_ptr<DirectorySearch> searchDirectory(const std::string& directory, const std::string& mask);

using DirectorySearcher =
    std::function<std::unique_ptr<DirectorySearch>(const std::string& directory, const std::string& mask)>;

// Appends to paths every file in directory and below, as directory + separator
// + name (subdirectory names included in between). Files of a directory come
// before those of its subdirectories, and subdirectories are visited
// last-found first. A directory reached again (through a link) is not listed
// again, so links that loop cannot make the listing endless. Returns false as soon as a directory cannot be searched
// or read to its end; paths then holds what was found before.
bool listFiles(const std::string& directory, const std::string& mask, std::vector<std::string>& paths);
// The same over another search, for listings that do not come from the disk.
bool listFiles(const std::string& directory, const std::string& mask, std::vector<std::string>& paths,
               const DirectorySearcher& search);

}  // namespace platform
