// The recursive listing: its order over a known tree, its failures, and the
// POSIX search of a real directory.
#include "platform/directory.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

namespace {

using platform::DirectoryEntry;
using platform::DirectorySearch;
using platform::SearchStep;
using Paths = std::vector<std::string>;

// A directory tree held in memory: each directory's entries in the order a
// search returns them. A directory may fail to open, or fail after its entries.
struct FakeTree {
    std::map<std::string, std::vector<DirectoryEntry>> directories;
    std::string failsToOpen;
    std::string failsWhileRead;
    int openSearches = 0;

    platform::DirectorySearcher searcher() {
        return [this](const std::string& directory, const std::string&) -> std::unique_ptr<DirectorySearch> {
            if (directory == failsToOpen || directories.count(directory) == 0) return nullptr;
            return std::make_unique<Search>(*this, directories[directory], directory == failsWhileRead);
        };
    }

    class Search : public DirectorySearch {
    public:
        Search(FakeTree& tree, const std::vector<DirectoryEntry>& entries, bool fails)
            : tree_(tree), entries_(entries), fails_(fails) {
            ++tree_.openSearches;
        }
        ~Search() override { --tree_.openSearches; }
        SearchStep next(DirectoryEntry& entry) override {
            if (position_ == entries_.size()) return fails_ ? SearchStep::Failed : SearchStep::End;
            entry = entries_[position_++];
            return SearchStep::Entry;
        }

    private:
        FakeTree& tree_;
        const std::vector<DirectoryEntry>& entries_;
        bool fails_;
        std::size_t position_ = 0;
    };
};

FakeTree exampleTree() {
    FakeTree tree;
    tree.directories["."] = {{".", true}, {"..", true}, {"a", true}, {"x.bin", false}, {"b", true}, {"y.bin", false}};
    tree.directories["./a"] = {{"a1", false}, {"deep", true}};
    tree.directories["./a/deep"] = {{"d1", false}};
    tree.directories["./b"] = {{"b1", false}};
    return tree;
}

TEST(ListFiles, FilesOfADirectoryComeFirstAndTheLastFoundSubdirectoryIsVisitedFirst) {
    FakeTree tree = exampleTree();
    Paths paths;
    EXPECT_TRUE(platform::listFiles(".", "*", paths, tree.searcher()));
    EXPECT_EQ(paths, (Paths{"./x.bin", "./y.bin", "./b/b1", "./a/a1", "./a/deep/d1"}));
    EXPECT_EQ(tree.openSearches, 0);
}

TEST(ListFiles, ADirectoryThatCannotBeSearchedOrReadEndsTheListingWithFalse) {
    for (const char* failing : {".", "./a"}) {
        for (bool whileRead : {false, true}) {
            FakeTree tree = exampleTree();
            (whileRead ? tree.failsWhileRead : tree.failsToOpen) = failing;
            Paths paths;
            EXPECT_FALSE(platform::listFiles(".", "*", paths, tree.searcher())) << failing << " " << whileRead;
            EXPECT_EQ(tree.openSearches, 0) << "every search is closed";
        }
    }
}

TEST(PosixDirectorySearch, ListsARealTreeSortedFollowingLinksToDirectoriesOnce) {
    testing_support::TempDir dir, elsewhere("elsewhere");
    dir.write("b.bin");
    dir.write("a.bin");
    dir.write(".hidden");
    dir.write("sub1/s.bin");
    dir.write("sub2/t.bin");
    elsewhere.write("e.bin");
    namespace fs = std::filesystem;
    fs::create_directory_symlink(elsewhere.path(), dir.path() / "linked");
    // Links back up the tree and to a directory listed already add nothing.
    fs::create_directory_symlink(dir.path(), dir.path() / "sub2" / "loop");
    fs::create_directory_symlink(dir.path() / "sub1", dir.path() / "sub2" / "again");
    fs::create_symlink(dir.path() / "gone", dir.path() / "broken");

    const std::string root = dir.path().string();
    Paths paths;
    ASSERT_TRUE(platform::listFiles(root, "*", paths));
    EXPECT_EQ(paths, (Paths{root + "/.hidden", root + "/a.bin", root + "/b.bin", root + "/broken",
                            root + "/sub2/t.bin", root + "/sub2/again/s.bin", root + "/linked/e.bin"}));

    Paths masked;
    ASSERT_TRUE(platform::listFiles(root, "?.bin", masked));
    EXPECT_EQ(masked, (Paths{root + "/a.bin", root + "/b.bin"}));
}

TEST(PosixDirectorySearch, APathThatIsNoDirectoryCannotBeSearched) {
    testing_support::TempDir dir;
    dir.write("file.bin");
    for (const auto& path : {dir.path() / "missing", dir.path() / "file.bin"}) {
        EXPECT_EQ(platform::searchDirectory(path.string(), "*"), nullptr) << path;
        Paths paths;
        EXPECT_FALSE(platform::listFiles(path.string(), "*", paths)) << path;
    }
}

}  // namespace
