// The station's device access against the Z6 model, through the device
// library: what flash operations cost in transactions, that updates always
// leave the flash as a plain array of bytes would be, and address reads.
#include "device/flash.h"
#include "device/registers.h"

#include "inprocess_bus.h"
#include "platform/virtual_clock.h"
#include "z6/flash.h"
#include "z6/scenario.h"
#include "z6/z6_model.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

class DeviceModel : public ::testing::Test {
protected:
    explicit DeviceModel(const char* scenario = "healthy-pro") : model(z6::loadScenario(scenario), clock) {
        bus.plugUsb(model);
        EXPECT_EQ(DQM_OpenS("DQM_dtZ6", "DQM_ctUSB", "DQM_idANY", &handle), DQM_OK);
    }
    ~DeviceModel() override { DQM_Close(handle); }

    // Transactions the next call costs.
    template <class Call>
    std::uint64_t cost(Call call) {
        const std::uint64_t before = bus.exchanges();
        EXPECT_EQ(call(), 0);
        return bus.exchanges() - before;
    }

    std::vector<std::uint8_t> deviceBytes(std::uint32_t address, std::uint32_t length) {
        return model.flash().read(address, length);
    }

    platform::VirtualClock clock;
    z6::Z6Model model;
    z6::InProcessBus bus;
    std::int32_t handle = 0;
};

constexpr std::uint32_t kPage = 0x3C4000;  // calibration constants
const std::uint32_t kKey = flash::kCalibration.key;

TEST_F(DeviceModel, TransactionCostsOfReadsAndUpdates) {
    std::uint8_t page[kFlashPageSize];
    EXPECT_EQ(cost([&] { return flashRead(handle, kKey, kPage, kFlashPageSize, page); }), 129u);

    const std::uint8_t cleared[] = {0x12, 0x34};
    EXPECT_EQ(cost([&] { return flashUpdate(handle, kKey, kPage + 10, 2, cleared); }), 129u + 128u);
    EXPECT_EQ(cost([&] { return flashUpdate(handle, kKey, kPage + 10, 2, cleared); }), 129u);  // unchanged

    const std::uint8_t setsABit[] = {0x13, 0x34};
    EXPECT_EQ(cost([&] { return flashUpdate(handle, kKey, kPage + 10, 2, setsABit); }), 129u + 1u + 128u);
    EXPECT_EQ(deviceBytes(kPage + 9, 4), (std::vector<std::uint8_t>{0xFF, 0x13, 0x34, 0xFF}));
}

TEST_F(DeviceModel, WriteThenReadBackAtTheProvisioningRecord) {
    const std::uint8_t serial[12] = {'4', '7', '1', '1', 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(flashWrite(handle, flash::kProvisioning.key, 0x3C3000, 12, serial), 0);
    std::uint8_t back[32];
    ASSERT_EQ(flashRead(handle, flash::kProvisioning.key, 0x3C3000, 32, back), 0);
    EXPECT_EQ(std::memcmp(back, serial, 12), 0);
    EXPECT_EQ(back[12], 0xFF);
}

TEST_F(DeviceModel, AWrongKeyFailsAndLeavesTheFlashUntouched) {
    const std::vector<std::uint8_t> before = deviceBytes(kPage, kFlashPageSize);
    const std::uint8_t data[2] = {0, 0};
    std::uint8_t page[kFlashPageSize];
    EXPECT_NE(flashRead(handle, flash::kProvisioning.key, kPage, kFlashPageSize, page), 0);
    EXPECT_NE(flashErase(handle, flash::kProvisioning.key, kPage), 0);
    EXPECT_NE(flashWrite(handle, flash::kProvisioning.key, kPage, 2, data), 0);
    EXPECT_NE(flashUpdate(handle, flash::kProvisioning.key, kPage, 2, data), 0);
    EXPECT_EQ(deviceBytes(kPage, kFlashPageSize), before);
}

// Many updates of random ranges inside random pages, applied to the device
// and to a plain array: the two always agree, and nothing outside the range
// ever changes.
TEST_F(DeviceModel, RandomUpdatesAgreeWithAPlainArray) {
    struct Area {
        std::uint32_t start;
        std::uint32_t pages;
        std::uint32_t key;
    } const areas[] = {
        {flash::kProvisioning.start, 1, flash::kProvisioning.key},
        {flash::kCalibration.start, 2, flash::kCalibration.key},
        {flash::kCalibrationLog.start, 1, flash::kCalibrationLog.key},
    };
    const std::uint32_t first = flash::kProvisioning.start;
    const std::uint32_t span = flash::kCalibrationLog.start + kFlashPageSize - first;
    std::vector<std::uint8_t> reference = deviceBytes(first, span);

    const unsigned seed = 20261211;
    std::mt19937 random(seed);
    const auto pick = [&](std::uint32_t below) { return static_cast<std::uint32_t>(random() % below); };
    for (int round = 0; round < 120; ++round) {
        const Area& area = areas[pick(3)];
        const std::uint32_t page = area.start + kFlashPageSize * pick(area.pages);
        const std::uint32_t offset = pick(kFlashPageSize);
        const std::uint32_t length = 1 + pick(std::min<std::uint32_t>(kFlashPageSize - offset, 96));
        std::uint8_t* target = reference.data() + (page + offset - first);
        std::vector<std::uint8_t> data(length);
        for (std::uint32_t i = 0; i < length; ++i) {
            // Mostly values that only clear bits, sometimes any value.
            const auto noise = static_cast<std::uint8_t>(random());
            data[i] = pick(4) == 0 ? noise : static_cast<std::uint8_t>(target[i] & noise);
        }
        ASSERT_EQ(flashUpdate(handle, area.key, page + offset, length, data.data()), 0)
            << "seed " << seed << " round " << round;
        std::memcpy(target, data.data(), length);
        ASSERT_EQ(deviceBytes(first, span), reference) << "seed " << seed << " round " << round;
    }
    // Outside the areas updated, the flash is still erased.
    EXPECT_EQ(deviceBytes(0x3C8000, kFlashPageSize), std::vector<std::uint8_t>(kFlashPageSize, 0xFF));
}

TEST_F(DeviceModel, AddressReadGivesTheRegisterAsADouble) {
    std::uint32_t options = 0;
    ASSERT_EQ(readAddressU32(handle, 60010, &options), 0);
    EXPECT_EQ(options, 9u);  // the Pro option and a mounted SD card
    double productId = 0.0;
    ASSERT_EQ(DQM_eReadAddress(handle, 60000, 1, &productId), 0);
    EXPECT_EQ(productId, 0x40E00000);  // the bits of 7.0f
    EXPECT_EQ(DQM_eReadAddress(handle, 12345, 1, &productId), DQM_ERR_ILLEGAL_ADDRESS);
}

TEST_F(DeviceModel, TheHandleSurvivesARestart) {
    ASSERT_EQ(writeU32(handle, 61996, 0x44510020), 0);
    std::uint32_t serial = 0;
    const std::uint64_t before = clock.elapsedMs();
    ASSERT_EQ(readAddressU32(handle, 60028, &serial), 0);  // waits for the device to come back
    EXPECT_EQ(serial, 470010000u);
    EXPECT_GE(clock.elapsedMs() - before, 5000u);
    EXPECT_EQ(model.boots(), 2u);
}

TEST_F(DeviceModel, StreamBlocksComeAtTheDevicesPace) {
    EXPECT_EQ(DQM_eStreamStop(handle), DQM_ERR_STREAM_NOT_RUNNING);
    const std::int32_t scanList[] = {60002, 60004, 60006};  // hardware, firmware, bootstrap versions
    double rate = 1000.0;
    ASSERT_EQ(DQM_eStreamStart(handle, 100, 3, scanList, &rate), 0);
    EXPECT_EQ(rate, 1000.0);
    EXPECT_EQ(DQM_eStreamStart(handle, 100, 3, scanList, &rate), DQM_ERR_STREAM_ALREADY_RUNNING);

    const std::uint64_t start = clock.elapsedMs();
    std::vector<double> block(300);
    std::int32_t deviceBacklog = -1, libraryBacklog = -1;
    for (int read = 0; read < 5; ++read) {
        ASSERT_EQ(DQM_eStreamRead(handle, block.data(), &deviceBacklog, &libraryBacklog), 0);
        EXPECT_FLOAT_EQ(static_cast<float>(block[297]), 1.30f);  // the last scan, first value
        EXPECT_FLOAT_EQ(static_cast<float>(block[299]), 0.96f);
    }
    // 500 scans at 1000 scans per second.
    EXPECT_GE(clock.elapsedMs() - start, 500u);
    EXPECT_LE(clock.elapsedMs() - start, 520u);

    // The device keeps answering requests while it streams.
    std::uint32_t options = 0;
    EXPECT_EQ(readAddressU32(handle, 60010, &options), 0);
    EXPECT_EQ(DQM_eStreamStop(handle), 0);
    EXPECT_EQ(DQM_eStreamRead(handle, block.data(), &deviceBacklog, &libraryBacklog), DQM_ERR_STREAM_NOT_RUNNING);

    const std::int32_t unknown[] = {12345};
    EXPECT_EQ(DQM_eStreamStart(handle, 100, 1, unknown, &rate), DQM_ERR_ILLEGAL_ADDRESS);
}

class BusyFlashModel : public DeviceModel {
protected:
    BusyFlashModel() : DeviceModel("flash-read-busy") {}
};

TEST_F(BusyFlashModel, ReadRestartsUntilTheChunksComeThrough) {
    const std::uint8_t data[4] = {1, 2, 3, 4};
    ASSERT_EQ(flashUpdate(handle, kKey, kPage, 4, data), 0);
    std::uint8_t back[32];
    ASSERT_EQ(flashRead(handle, kKey, kPage, 32, back), 0);
    EXPECT_EQ(std::memcmp(back, data, 4), 0);
}

}  // namespace
