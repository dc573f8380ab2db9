// Reading image files and decoding their headers.
#include "firmware/image_file.h"
#include "support/temp_dir.h"
#include "support/wire_bytes.h"

#include "z6/firmware_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>

namespace {

using testing_support::TempDir;

std::string imageText(const std::string& hexBytes) {
    const testing_support::Bytes bytes = testing_support::hex(hexBytes);
    return {bytes.begin(), bytes.end()};
}

// A 128-byte header from the fields that matter, the rest zero.
std::string header(const std::string& typeAndVersions, const std::string& payloadLength) {
    std::string text = "DQFX" + imageText(typeAndVersions);
    text.resize(24, '\0');
    text += imageText(payloadLength);
    text.resize(128, '\0');
    return text;
}

TEST(ImageFile, StatusTellsWhetherTheFileIsAnImageReadWhole) {
    TempDir dir;
    dir.write("short.bin", "DQFX012345");
    dir.write("magic.bin", "DQFY" + std::string(200, 'x'));
    dir.write("tiny.bin", "DQ");
    dir.write("empty.bin");
    dir.write("huge.bin");
    std::filesystem::resize_file(dir.path() / "huge.bin", kMaxImageFileSize + 1);  // sparse
    const struct {
        const char* name;
        std::int32_t status;
        std::uint32_t length;
    } cases[] = {
        {"short.bin", kImageOk, 10},  // read whole; too short only for the upgrade
        {"magic.bin", kImageBadMagic, 204},
        {"tiny.bin", kImageBadMagic, 2},
        {"empty.bin", kImageBadMagic, 0},
        {"missing.bin", kImageCannotOpen, 0},
        {"huge.bin", kImageNotReadToEnd, 0},
    };
    for (const auto& c : cases) {
        const ImageFile file((dir.path() / c.name).string().c_str());
        EXPECT_EQ(file.status, c.status) << c.name;
        EXPECT_EQ(file.length, c.length) << c.name;
    }
}

TEST(ImageFile, TheFileIsClosedWhateverItsStatus) {
    TempDir dir;
    dir.write("good.bin", "DQFX" + std::string(200, 'x'));
    dir.write("magic.bin", "DQFY" + std::string(200, 'x'));
    dir.write("huge.bin");
    std::filesystem::resize_file(dir.path() / "huge.bin", kMaxImageFileSize + 1);
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = openFiles();
    for (const char* name : {"good.bin", "magic.bin", "huge.bin"}) {
        const ImageFile file((dir.path() / name).string().c_str());
        EXPECT_EQ(openFiles(), before) << name;
    }
}

TEST(ImageFile, ThePathIsCutAtItsFirstLineFeed) {
    TempDir dir;
    dir.write("image.bin", "DQFX");
    const std::string path = (dir.path() / "image.bin").string();
    const ImageFile file((path + "\nrest").c_str());
    EXPECT_EQ(std::string(file.path), path);
    EXPECT_EQ(file.status, kImageOk);
}

TEST(ImageHeader, DecodesFieldsAndBothVersionEncodings) {
    TempDir dir;
    // Type 100007021; version 1.0 as a float; second version 2048.07 as a
    // float, above 1000, so the older form: 1 + 44 / 100.
    std::string image = header("05 F5 FC 6D 3F 80 00 00 45 00 01 2C 12 34", "00 01 F8 00");
    image.replace(28, 4, imageText("DE AD BE EF"));
    image.replace(76, 20, std::string(20, 'a'));
    image.replace(96, 20, std::string(20, 'b'));
    dir.write("image.bin", image + "payload");

    const ImageFile file((dir.path() / "image.bin").string().c_str());
    ImageHeader decoded;
    ASSERT_EQ(parseHeader(file, decoded), 0);
    EXPECT_EQ(decoded.typeCode, 100007021u);
    EXPECT_EQ(decoded.version, 1.0f);
    EXPECT_EQ(decoded.secondVersion, 1.44f);
    EXPECT_EQ(decoded.word16, 0x1234);
    EXPECT_EQ(decoded.payloadLength, 0x1F800u);
    EXPECT_EQ(decoded.word32, 0xDEADBEEFu);
    EXPECT_EQ(std::string(decoded.block76, decoded.block76 + 20), std::string(20, 'a'));
    EXPECT_EQ(std::string(decoded.block96, decoded.block96 + 20), std::string(20, 'b'));
}

TEST(ImageHeader, OlderVersionFormIsUsedBelowZeroAndAbove1000Only) {
    const struct {
        const char* bytes;
        float version;
    } cases[] = {
        {"3F 75 C2 8F", 0.96f},
        {"44 7A 00 00", 1000.0f},             // exactly 1000: still a float
        {"BF 80 03 05", 3.05f},               // -1.0...: bytes 2 and 3
        {"44 7A 04 00", 4.0f},                // 1000.06
    };
    for (const auto& c : cases) {
        const testing_support::Bytes field = testing_support::hex(c.bytes);
        EXPECT_FLOAT_EQ(decodeImageVersion(field.data()), c.version) << c.bytes;
    }
}

TEST(ImageHeader, IsNotDecodedFromAFileThatIsNoWholeImage) {
    TempDir dir;
    dir.write("short.bin", "DQFX012345");
    dir.write("magic.bin", "DQFY" + std::string(200, 'x'));
    ImageHeader decoded;
    decoded.typeCode = 42;
    EXPECT_EQ(parseHeader(ImageFile((dir.path() / "short.bin").string().c_str()), decoded), kImageTooShort);
    EXPECT_EQ(parseHeader(ImageFile((dir.path() / "magic.bin").string().c_str()), decoded), kImageBadMagic);
    EXPECT_EQ(decoded.typeCode, 42u);
}

TEST(ImageHeader, ReadsWhatTheImageMakerWrites) {
    TempDir dir;
    const auto payload = z6::patternPayload(5000);
    z6::writeImageFile(dir.path() / "made.bin", z6::kMainImageType, 1.0255f, payload);
    const ImageFile file((dir.path() / "made.bin").string().c_str());
    ImageHeader decoded;
    ASSERT_EQ(parseHeader(file, decoded), 0);
    EXPECT_EQ(file.length, 128u + 5000u);
    EXPECT_EQ(decoded.typeCode, z6::kMainImageType);
    EXPECT_EQ(decoded.version, 1.0255f);
    EXPECT_EQ(decoded.payloadLength, 5000u);
}

}  // namespace
