// The device library against a real z6sim process, over the USB bus and TCP.
#include "harness.h"
#include "support/temp_dir.h"

#include "device/flash.h"
#include "device/mbfb.h"
#include "device/registers.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class LibraryOnZ6Sim : public ::testing::Test {
protected:
    LibraryOnZ6Sim() : bus("bus"), state("state"), sim(bus.path(), state.path()) {
        ::setenv("DQM_USB_BUS_DIR", bus.path().c_str(), 1);
        ::setenv("DQM_TCP_PORT", std::to_string(sim.port()).c_str(), 1);
        EXPECT_TRUE(sim.ready()) << sim.output();
    }
    ~LibraryOnZ6Sim() override {
        ::unsetenv("DQM_USB_BUS_DIR");
        ::unsetenv("DQM_TCP_PORT");
    }

    std::int32_t open(const char* type, const char* identifier) {
        std::int32_t handle = 0;
        EXPECT_EQ(DQM_OpenS("DQM_dtZ6", type, identifier, &handle), DQM_OK) << type << " " << sim.output();
        return handle;
    }

    testing_support::TempDir bus;
    testing_support::TempDir state;
    e2e::Z6Sim sim;
};

TEST_F(LibraryOnZ6Sim, TransactionsAndFlashOverBothTransports) {
    const std::int32_t usb = open("DQM_ctUSB", "DQM_idANY");
    const std::int32_t tcp = open("DQM_ctTCP", "127.0.0.2");
    for (std::int32_t handle : {usb, tcp}) {
        MbfbOperation ops[] = {MbfbOperation::read(60000, 2, kMbfbU32), MbfbOperation::read(60010, 2, kMbfbU32)};
        ASSERT_EQ(mbfbTransact(handle, 2, ops), 0);
        EXPECT_EQ(ops[0].f32(), 7.0f);
        EXPECT_EQ(ops[1].u32(), 9u);  // Pro, SD card mounted
    }
    // A write over one connection is seen over the other: it is one device.
    const std::uint8_t record[4] = {0x12, 0x34, 0x56, 0x78};
    ASSERT_EQ(flashUpdate(usb, flash::kCalibration.key, 0x3C4010, 4, record), 0);
    std::uint8_t back[32];
    ASSERT_EQ(flashRead(tcp, flash::kCalibration.key, 0x3C4000, 32, back), 0);
    EXPECT_EQ(back[16], 0x12);
    EXPECT_EQ(back[19], 0x78);
    EXPECT_EQ(back[20], 0xFF);
    DQM_Close(usb);
    DQM_Close(tcp);
}

TEST_F(LibraryOnZ6Sim, StreamBlocksArriveAtTheScanRate) {
    const std::int32_t tcp = open("DQM_ctTCP", "127.0.0.2");
    const std::int32_t scanList[] = {60002, 60004};
    double rate = 1000.0;
    ASSERT_EQ(DQM_eStreamStart(tcp, 100, 2, scanList, &rate), 0);
    std::vector<double> block(200);
    std::int32_t deviceBacklog = 0, libraryBacklog = 0;
    ASSERT_EQ(DQM_eStreamRead(tcp, block.data(), &deviceBacklog, &libraryBacklog), 0);  // the stream is under way
    const auto start = Clock::now();
    for (int read = 0; read < 5; ++read) ASSERT_EQ(DQM_eStreamRead(tcp, block.data(), &deviceBacklog, &libraryBacklog), 0);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(took, 400);  // 500 scans at 1000 per second, paced by the device
    EXPECT_LE(took, 900);
    EXPECT_FLOAT_EQ(static_cast<float>(block[198]), 1.30f);
    EXPECT_EQ(DQM_eStreamStop(tcp), 0);
    DQM_Close(tcp);
}

TEST_F(LibraryOnZ6Sim, HandlesSurviveASoftReset) {
    const std::int32_t usb = open("DQM_ctUSB", "DQM_idANY");
    const std::int32_t tcp = open("DQM_ctTCP", "127.0.0.2");
    ASSERT_EQ(writeU32(usb, 61994, 0), 0);
    const auto start = Clock::now();
    for (std::int32_t handle : {usb, tcp}) {
        std::uint32_t serial = 0;
        EXPECT_EQ(readAddressU32(handle, 60028, &serial), 0) << sim.output();
        EXPECT_EQ(serial, 470010000u);
    }
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1500));  // it was away
    DQM_Close(usb);
    DQM_Close(tcp);
}

}  // namespace
