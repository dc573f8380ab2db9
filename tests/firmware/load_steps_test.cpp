// "Load Recovery Image" and "Load web pages", run in a scratch working
// directory against a Z6 model.
#include "device/flash.h"
#include "sequencer/steps.h"
#include "support/model_device.h"
#include "support/temp_dir.h"

#include "z6/firmware_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using testing_support::ModelDevice;
using testing_support::ScopedWorkingDirectory;
using testing_support::TempDir;

class LoadStep : public ::testing::Test {
protected:
    LoadStep() : inside(dir.path()) { context.handle = device.handle; }

    std::int32_t run(TestFunction step) { return step(&context); }

    TempDir dir;
    ScopedWorkingDirectory inside;
    ModelDevice device;
    TestContext context;
};

TEST_F(LoadStep, RecoveryImageLoadedShowsTheVersionItsNameCarries) {
    const auto payload = z6::patternPayload(0x8000);
    z6::writeImageFile(dir.path() / "Z6recovery_9600.bin", z6::kRecoveryImageType, 0.96f, payload);
    EXPECT_EQ(run(loadRecoveryImageStep), 0);
    EXPECT_EQ(context.resultState, Passed);
    EXPECT_STREQ(context.details, "Recovery Image 0.9600 Loaded");
    EXPECT_EQ(device.model.flash().read(0x3E0000, payload.size()), payload);

    // The header written is what Recovery Version then reads.
    EXPECT_EQ(run(recoveryVersionStep), 0);
    EXPECT_STREQ(context.details, "0.9600");
}

TEST_F(LoadStep, RecoveryImageRefusedIsFatalWithItsCode) {
    const struct {
        const char* what;
        const char* file;
        std::uint32_t type;
        const char* details;
    } cases[] = {
        {"no image file", nullptr, 0, "Comm Error: (10)"},
        {"unknown type code", "Z6recovery_9600.bin", 100007005, "Comm Error: (12345)"},
    };
    for (const auto& c : cases) {
        if (c.file) z6::writeImageFile(dir.path() / c.file, c.type, 0.96f, z6::patternPayload(0x8000));
        EXPECT_EQ(run(loadRecoveryImageStep), 1) << c.what;
        EXPECT_EQ(context.resultState, Fatal) << c.what;
        EXPECT_STREQ(context.details, c.details) << c.what;
        EXPECT_TRUE(device.traffic.erases().empty()) << c.what;
    }
}

TEST_F(LoadStep, WebPagesEraseTheRegionAndAreWrittenInWholeWords) {
    for (const std::uint32_t size : {1000u, 1001u, 1003u}) {
        TempDir pages;
        ScopedWorkingDirectory there(pages.path());
        std::string content = std::string(size, 'w');
        pages.write("PackedWebPages.bin", content);
        ModelDevice fresh;
        context.handle = fresh.handle;

        EXPECT_EQ(run(loadWebPagesStep), 0) << size;
        EXPECT_EQ(context.resultState, Passed);
        EXPECT_EQ(std::string(context.details), "Loaded " + std::to_string(size) + " bytes");
        const std::uint32_t key = flash::kWebPages.key;
        EXPECT_EQ(fresh.traffic.erases(), testing_support::pageErases(key, 0, 512)) << size;
        EXPECT_EQ(fresh.traffic.programs(), testing_support::programChunks(key, 0, 1004)) << size;
        // Past the file, the padding of its last word is zeros.
        std::vector<std::uint8_t> expected(content.begin(), content.end());
        expected.resize(1004, 0x00);
        EXPECT_EQ(fresh.model.flash().read(0, 1004), expected) << size;
    }
}

TEST_F(LoadStep, WebPagesMissingSkipsTheLoadAndTooLargeIsFatalBeforeAnyErase) {
    EXPECT_EQ(run(loadWebPagesStep), 1);
    EXPECT_EQ(context.resultState, Passed);
    EXPECT_STREQ(context.details, "No webpage file found.");

    dir.write("PackedWebPages.bin");
    std::filesystem::resize_file(dir.path() / "PackedWebPages.bin", 0x200001);
    EXPECT_EQ(run(loadWebPagesStep), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "Webpage file larger than its 2 MB flash region.");
    EXPECT_TRUE(device.traffic.erases().empty());
}

TEST_F(LoadStep, WebPagesThatFillTheRegionExactlyAreWrittenUpToItsEndAndNoFurther) {
    std::string content(0x200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + 1);
    dir.write("PackedWebPages.bin", content);
    const std::vector<std::uint8_t> before = device.model.flash().read(0x200000, 4);

    EXPECT_EQ(run(loadWebPagesStep), 0);
    EXPECT_EQ(context.resultState, Passed);
    EXPECT_STREQ(context.details, "Loaded 2097152 bytes");
    EXPECT_EQ(device.traffic.programs(), testing_support::programChunks(flash::kWebPages.key, 0, 0x200000));
    EXPECT_EQ(device.model.flash().read(0x1FFFE0, 32),
              std::vector<std::uint8_t>(content.end() - 32, content.end()));
    EXPECT_EQ(device.model.flash().read(0x200000, 4), before);  // the main image's first word
}

TEST_F(LoadStep, WebPagesStopAtAFailedErase) {
    dir.write("PackedWebPages.bin", "pages");
    device.unplugAfter(3);
    EXPECT_EQ(run(loadWebPagesStep), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "Comm Error: (1030)");
    EXPECT_TRUE(device.traffic.programs().empty());
}

}  // namespace
