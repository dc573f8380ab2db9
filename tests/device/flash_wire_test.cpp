// The flash window on the wire: key, pointer, 32-byte chunks.
#include "device/device_codes.h"
#include "device/flash.h"
#include "support/scripted_device.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using testing_support::ScriptedDevice;

const std::string kKeyAndPointerRecoveryHeader =
    "01 F1 68 02 4F 8D 2C 60  01 F1 72 02 00 38 20 00  00 F1 68 02  00 F1 72 02";

std::string chunkBytes(int first) {
    std::string out;
    char piece[4];
    for (int i = 0; i < 32; ++i) {
        std::snprintf(piece, sizeof piece, "%02X ", (first + i) & 0xFF);
        out += piece;
    }
    return out;
}

const testing_support::Bytes kBusy = testing_support::hex("00 00 00 00 00 05 00 CC 04 09 36");

TEST(FlashRead, KeyAndPointerThenOneChunkPer32Bytes) {
    ScriptedDevice device;
    device.expectFeedback(kKeyAndPointerRecoveryHeader, "4F 8D 2C 60 00 38 20 00");
    const char* pointers[] = {"00 38 20 00", "00 38 20 20", "00 38 20 40", "00 38 20 60"};
    for (int i = 0; i < 4; ++i)
        device.expectFeedback(std::string("01 F1 72 02 ") + pointers[i] + " 00 F1 74 10", chunkBytes(32 * i));
    std::uint8_t buffer[128] = {};
    ASSERT_EQ(flashRead(device.handle(), flash::kRecoveryHeader.key, 0x382000, 128, buffer), 0);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(buffer[i], i) << i;
}

TEST(FlashRead, ARemainderIsNotRead) {
    ScriptedDevice device;
    device.expectFeedback(kKeyAndPointerRecoveryHeader, "4F 8D 2C 60 00 38 20 00");
    device.expectFeedback("01 F1 72 02 00 38 20 00 00 F1 74 10", chunkBytes(0));
    std::uint8_t buffer[40];
    std::memset(buffer, 0xEE, sizeof buffer);
    ASSERT_EQ(flashRead(device.handle(), flash::kRecoveryHeader.key, 0x382000, 40, buffer), 0);
    EXPECT_EQ(buffer[31], 31);
    EXPECT_EQ(buffer[32], 0xEE);
}

TEST(FlashRead, BusyChunkRestartsFromTheKey) {
    ScriptedDevice device;
    device.expectFeedback(kKeyAndPointerRecoveryHeader, "4F 8D 2C 60 00 38 20 00");
    device.expectFeedback("01 F1 72 02 00 38 20 00 00 F1 74 10", chunkBytes(0));
    device.expect(testing_support::feedbackMessage("01 F1 72 02 00 38 20 20 00 F1 74 10"), kBusy);
    device.expectFeedback(kKeyAndPointerRecoveryHeader, "4F 8D 2C 60 00 38 20 00");
    device.expectFeedback("01 F1 72 02 00 38 20 00 00 F1 74 10", chunkBytes(0));
    device.expectFeedback("01 F1 72 02 00 38 20 20 00 F1 74 10", chunkBytes(32));
    std::uint8_t buffer[64];
    ASSERT_EQ(flashRead(device.handle(), flash::kRecoveryHeader.key, 0x382000, 64, buffer), 0);
    EXPECT_EQ(buffer[63], 63);
}

TEST(FlashRead, GivesUpWithTheBusyCodeAfterTheLastRestart) {
    ScriptedDevice device;
    for (int attempt = 0; attempt <= kFlashReadMaxRestarts; ++attempt) {
        device.expectFeedback(kKeyAndPointerRecoveryHeader, "4F 8D 2C 60 00 38 20 00");
        device.expect(testing_support::feedbackMessage("01 F1 72 02 00 38 20 00 00 F1 74 10"), kBusy);
    }
    std::uint8_t buffer[32];
    EXPECT_EQ(flashRead(device.handle(), flash::kRecoveryHeader.key, 0x382000, 32, buffer), DQM_ERR_FLASH_READ_RETRY);
}

TEST(FlashRead, OtherFailuresEndTheReadAtOnce) {
    ScriptedDevice device;
    device.expectFailure(testing_support::feedbackMessage(kKeyAndPointerRecoveryHeader), DQM_ERR_CONNECTION_LOST);
    std::uint8_t buffer[32];
    EXPECT_EQ(flashRead(device.handle(), flash::kRecoveryHeader.key, 0x382000, 32, buffer), DQM_ERR_CONNECTION_LOST);
}

TEST(FlashRead, ABusyAnswerToTheKeyAndPointerIsReturnedWithoutARestart) {
    ScriptedDevice device;
    device.expect(testing_support::feedbackMessage(kKeyAndPointerRecoveryHeader), kBusy);
    std::uint8_t buffer[32];
    EXPECT_EQ(flashRead(device.handle(), flash::kRecoveryHeader.key, 0x382000, 32, buffer), DQM_ERR_FLASH_READ_RETRY);  // and nothing more is sent
}

TEST(FlashWrite, TwelveBytesAreOneTransactionWithTheKey) {
    ScriptedDevice device;
    device.expectFeedback("01 F1 68 02 91 E0 C7 D3  01 F1 86 08 00 3C 30 00  31 32 33 34 35 36 37 38 39 30 00 00");
    const std::uint8_t serial[12] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', 0, 0};
    EXPECT_EQ(flashWrite(device.handle(), flash::kProvisioning.key, 0x3C3000, 12, serial), 0);
}

TEST(FlashWrite, ChunksOf32AndAShorterLastOne) {
    ScriptedDevice device;
    std::uint8_t data[36];
    for (int i = 0; i < 36; ++i) data[i] = static_cast<std::uint8_t>(i);
    device.expectFeedback("01 F1 68 02 5E 19 B0 C4  01 F1 86 12 00 3C 40 00 " + chunkBytes(0));
    device.expectFeedback("01 F1 68 02 5E 19 B0 C4  01 F1 86 04 00 3C 40 20  20 21 22 23");
    EXPECT_EQ(flashWrite(device.handle(), flash::kCalibration.key, 0x3C4000, 36, data), 0);
}

TEST(FlashRefusals, NothingIsSent) {
    ScriptedDevice device;
    std::uint8_t data[64] = {};
    EXPECT_EQ(flashWrite(device.handle(), flash::kProvisioning.key, 0x3C3000, 33, data), device::kFlashRefused);
    EXPECT_EQ(flashWrite(device.handle(), flash::kProvisioning.key, 0x3C3000, 0, data), 0);
    EXPECT_EQ(flashUpdate(device.handle(), flash::kProvisioning.key, 0x3C3FFC, 8, data), device::kFlashRefused);
    EXPECT_EQ(flashUpdate(device.handle(), flash::kProvisioning.key, 0x3C3000, 0, data), device::kFlashRefused);
    EXPECT_EQ(flashUpdate(device.handle(), flash::kProvisioning.key, 0x3C3001, 4096, data), device::kFlashRefused);
    EXPECT_EQ(device.exchanges(), 0);
}

TEST(FlashErase, KeyThenPageAddress) {
    ScriptedDevice device;
    device.expectFeedback("01 F1 68 02 8A 52 B0 6E  01 F1 7C 02 00 3E 10 00");
    EXPECT_EQ(flashErase(device.handle(), flash::kRecoveryImage.key, 0x3E1000), 0);
}

}  // namespace
