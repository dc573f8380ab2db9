// The upgrade procedure against a Z6 model: the flash traffic of each image
// kind, the restart and its wait, and the images it refuses before erasing.
#include "device/device_codes.h"
#include "device/flash.h"
#include "firmware/upgrade.h"
#include "support/model_device.h"
#include "support/temp_dir.h"

#include "DaqoraM.h"
#include "z6/firmware_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using testing_support::FlashAccess;
using testing_support::ModelDevice;
using testing_support::pageErases;
using testing_support::programChunks;
using testing_support::TempDir;

constexpr std::uint32_t kRestartRegister = 61996;

std::vector<FlashAccess> concat(std::vector<FlashAccess> a, const std::vector<FlashAccess>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Upgrade : public ::testing::Test {
protected:
    // Writes an image file into the scratch directory; returns its path.
    std::string image(std::uint32_t type, std::size_t payloadLength, const std::string& name = "image.bin") {
        payload = z6::patternPayload(payloadLength);
        const std::filesystem::path path = dir.path() / name;
        z6::writeImageFile(path, type, 0.96f, payload);
        return path.string();
    }
    std::vector<std::uint8_t> flashAt(std::uint32_t address, std::size_t length, ModelDevice& device) {
        return device.model.flash().read(address, length);
    }

    TempDir dir;
    std::vector<std::uint8_t> payload;
};

TEST_F(Upgrade, RecoveryImageErasesWritesPagesThenTheHeaderAndDoesNotRestart) {
    ModelDevice device;
    const std::string path = image(z6::kRecoveryImageType, 0x8000);
    EXPECT_EQ(upgrade(device.handle, path.c_str()), 0);

    const std::uint32_t imageKey = flash::kRecoveryImage.key;
    const std::uint32_t headerKey = flash::kRecoveryHeader.key;
    EXPECT_EQ(device.traffic.erases(),
              concat(pageErases(imageKey, 0x3E0000, 32), pageErases(headerKey, 0x382000, 1)));
    EXPECT_EQ(device.traffic.programs(),
              concat(programChunks(imageKey, 0x3E0000, 0x8000), programChunks(headerKey, 0x382000, 128)));
    EXPECT_TRUE(device.traffic.u32Writes(kRestartRegister).empty());
    // One version read, 33 erases, 8 pages of 128 chunks, 4 header chunks.
    EXPECT_EQ(device.traffic.requests().size(), 1u + 33u + 8u * 128u + 4u);

    EXPECT_EQ(flashAt(0x3E0000, 0x8000, device), payload);
    std::vector<std::uint8_t> header = z6::makeImageHeader({z6::kRecoveryImageType, 0.96f, 0x8000});
    EXPECT_EQ(flashAt(0x382000, 128, device), header);
    EXPECT_EQ(device.console.output(), "");
}

TEST_F(Upgrade, MainImageRestartsTheDeviceAndWaitsByItsBootLoaderVersion) {
    const struct {
        float bootstrap;
        std::uint32_t waitMs;
    } cases[] = {{0.88f, 40000}, {0.89f, 40000}, {0.90f, 14000}, {0.96f, 14000}};
    const std::string path = image(z6::kMainImageType, 3 * 4096);
    for (const auto& c : cases) {
        z6::Scenario scenario;
        scenario.identity.bootstrapVersion = c.bootstrap;
        ModelDevice device(scenario);
        EXPECT_EQ(upgrade(device.handle, path.c_str()), 0) << c.bootstrap;
        const std::uint32_t finished = device.clock.clock.tickCount();

        const std::uint32_t imageKey = flash::kMainImage.key;
        const std::uint32_t headerKey = flash::kMainHeader.key;
        EXPECT_EQ(device.traffic.erases(),
                  concat(pageErases(imageKey, 0x200000, 120), pageErases(headerKey, 0x380000, 1)));
        EXPECT_EQ(device.traffic.programs(),
                  concat(programChunks(imageKey, 0x200000, 3 * 4096), programChunks(headerKey, 0x380000, 128)));
        const auto restarts = device.traffic.u32Writes(kRestartRegister);
        ASSERT_EQ(restarts.size(), 1u);
        EXPECT_EQ(restarts[0].value, 0x44510020u);
        EXPECT_EQ(finished - restarts[0].tick, c.waitMs) << c.bootstrap;
        EXPECT_EQ(device.traffic.requests().back().frames[0].address, kRestartRegister) << "nothing after it";

        // The device went away and is back: the next request is answered.
        EXPECT_EQ(device.model.boots(), 1u);
        double version = 0.0;
        EXPECT_EQ(DQM_eReadAddress(device.handle, 60004, 3, &version), 0);
        EXPECT_EQ(device.model.boots(), 2u);
        EXPECT_EQ(flashAt(0x200000, 3 * 4096, device), payload);
    }
}

TEST_F(Upgrade, ALastPageOnlyPartlyFilledIsWrittenWithTheRestLeftErased) {
    ModelDevice device;
    const std::string path = image(z6::kRecoveryImageType, 0x1F800);  // 31.5 pages
    EXPECT_EQ(upgrade(device.handle, path.c_str()), 0);
    EXPECT_EQ(device.traffic.programs().size(), 32u * 128u + 4u);
    EXPECT_EQ(flashAt(0x3E0000, 0x1F800, device), payload);
    EXPECT_EQ(flashAt(0x3E0000 + 0x1F800, 0x800, device), std::vector<std::uint8_t>(0x800, 0xFF));
}

TEST_F(Upgrade, ImagesThatCannotBeTrustedAreRefusedBeforeTheFirstErase) {
    const std::string recovery = image(z6::kRecoveryImageType, 0x8000, "recovery.bin");
    const std::string unknownType = image(100007005, 0x8000, "unknown-type.bin");
    const std::string tooLargeForRegion = image(z6::kRecoveryImageType, 33 * 4096, "too-large.bin");
    const std::string emptyPayload = image(z6::kRecoveryImageType, 0, "empty-payload.bin");
    // A header that promises more payload than the file holds.
    std::filesystem::copy_file(recovery, dir.path() / "cut.bin");
    std::filesystem::resize_file(dir.path() / "cut.bin", 128 + 0x4000);
    dir.write("short.bin", "DQFX012345");
    dir.write("magic.bin", "DQFY" + std::string(200, 'x'));
    dir.write("huge.bin");
    std::filesystem::resize_file(dir.path() / "huge.bin", 0x400000 + 129);  // sparse

    const auto at = [&](const char* name) { return (dir.path() / name).string(); };
    const struct {
        const char* what;
        std::string path;
        std::int32_t code;
    } cases[] = {
        {"no file found", "", device::kImageNotFound},
        {"cannot be opened", at("missing.bin"), device::kImageCannotOpen},
        {"not read to its end", at("huge.bin"), device::kImageNotReadToEnd},
        {"no magic", at("magic.bin"), device::kImageBadMagic},
        {"shorter than its header", at("short.bin"), device::kImageTooShort},
        {"fewer payload bytes than the header says", at("cut.bin"), device::kImagePayloadMissing},
        {"no payload", emptyPayload, device::kImagePayloadLengthInvalid},
        {"more pages than the region erases", tooLargeForRegion, device::kImagePayloadLengthInvalid},
        {"unknown type code", unknownType, device::kUnknownImageType},
    };
    for (const auto& c : cases) {
        ModelDevice device;
        EXPECT_EQ(upgrade(device.handle, c.path.c_str()), c.code) << c.what;
        EXPECT_TRUE(device.traffic.erases().empty()) << c.what;
        EXPECT_TRUE(device.traffic.programs().empty()) << c.what;
        EXPECT_EQ(device.console.output(), "\r\nError: " + std::to_string(c.code) + "\r\n") << c.what;
    }
}

TEST_F(Upgrade, AFailedTransactionEndsTheUpgradeAtOnce) {
    const std::string path = image(z6::kMainImageType, 3 * 4096);
    {
        ModelDevice device;
        device.unplugAfter(0);
        EXPECT_EQ(upgrade(device.handle, path.c_str()), DQM_ERR_CONNECTION_LOST);
        EXPECT_EQ(device.console.output(), "\r\nError: 1030\r\n");
    }
    {
        // Lost in the middle of the second page: no header, no restart.
        ModelDevice device;
        device.unplugAfter(1 + 121 + 128 + 5);
        EXPECT_EQ(upgrade(device.handle, path.c_str()), DQM_ERR_CONNECTION_LOST);
        EXPECT_EQ(device.traffic.programs().size(), 128u + 5u);
        EXPECT_TRUE(device.traffic.u32Writes(kRestartRegister).empty());
        EXPECT_EQ(device.model.flash().read(0x380000, 4), std::vector<std::uint8_t>(4, 0xFF));
    }
}

}  // namespace
