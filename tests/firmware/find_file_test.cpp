// Finding an image file by the beginning of its name, in and below the
// working directory.
#include "firmware/find_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::ScopedWorkingDirectory;
using testing_support::TempDir;

constexpr char kUntouched[] = "previous name";

// The name findFileByPrefix gives for prefix among files, or kUntouched.
std::string found(const std::vector<std::string>& files, const char* prefix = "Z6recovery_") {
    TempDir dir;
    for (const std::string& file : files) dir.write(file);
    ScopedWorkingDirectory inside(dir.path());
    char name[kFileNameSize] = "previous name";
    const bool matched = findFileByPrefix(prefix, name);
    EXPECT_EQ(matched, std::string(name) != kUntouched);
    return name;
}

TEST(FindFileByPrefix, TakesTheFirstMatchInListingOrder) {
    const struct {
        const char* what;
        std::vector<std::string> files;
        std::string expected;
    } cases[] = {
        {"the one listed first, not the higher number", {"Z6recovery_9600.bin", "Z6recovery_9500.bin"},
         "Z6recovery_9500.bin"},
        {"case matters", {"z6recovery_9600.bin"}, kUntouched},
        {"no file at all", {}, kUntouched},
        {"a matching subdirectory", {"Z6recovery_old/x.bin", "other.bin"}, "Z6recovery_old/x.bin"},
        {"files before subdirectories", {"Z6recovery_old/x.bin", "Z6recovery_9600.bin"}, "Z6recovery_9600.bin"},
        {"the last-found subdirectory first", {"Z6recovery_a/x.bin", "Z6recovery_b/y.bin"}, "Z6recovery_b/y.bin"},
        {"the name relative to the working directory", {"images/Z6recovery_9600.bin"}, kUntouched},
        {"leading signs skipped", {"--Z6recovery_9600.bin"}, "Z6recovery_9600.bin"},
        {"the name begins within 31 characters", {std::string(29, '-') + "Z6recovery_1.bin"}, "Z6recovery_1.bin"},
        {"but not later", {std::string(30, '-') + "Z6recovery_1.bin"}, kUntouched},
    };
    for (const auto& c : cases) EXPECT_EQ(found(c.files), c.expected) << c.what;
}

TEST(FindFileByPrefix, OtherPrefixesAndLongNamesAreCut) {
    EXPECT_EQ(found({"PackedWebPages_v3.bin", "Z6recovery_9600.bin"}, "PackedWebPages"), "PackedWebPages_v3.bin");
    // Relative names are compared cut to 100 characters (the separator counts).
    const std::string longName = "Z6recovery_" + std::string(150, 'x');
    EXPECT_EQ(found({longName}), longName.substr(0, 99));
}

}  // namespace
