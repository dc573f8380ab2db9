// "Serial Number" and "Ethernet MAC" against a Z6 model and a scripted test
// server: every state of the serial number and the MAC, and the bytes the
// steps write into the provisioning record.
#include "support/fake_server.h"
#include "support/model_device.h"
#include "support/redirected_sockets.h"

#include "sequencer/station_flags.h"
#include "sequencer/steps.h"
#include "server/server_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::FakeServer;
using testing_support::ModelDevice;
using testing_support::RedirectedSockets;

constexpr std::uint32_t kRecord = 0x3C3000;
constexpr std::uint16_t kSerialRegister = 60028;
constexpr std::uint16_t kMacRegister = 60020;
constexpr std::uint32_t kBlank = 0xFFFFFFFF;

std::vector<std::uint8_t> littleEndian(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A station with a device and a server; the server's script is the test's.
struct Station {
    explicit Station(std::uint32_t stationFlags = flags::kDefault) {
        context.handle = device.handle;
        context.stationFlags = stationFlags;
        server.expectLogin();
        context.serverClient = std::make_unique<ServerClient>(300);
        EXPECT_EQ(context.serverClient->login({"DQTestZ6", 0.65, 0x1702, 0x3C61F94E}), 0);
    }
    // The record's serial field, and the serial the device runs with.
    void serials(std::uint32_t stored, std::uint32_t running) {
        if (stored != kBlank) device.model.flash().program(kRecord + 8, littleEndian(stored));
        device.model.registers().setU32(kSerialRegister, running);
    }
    void mac(const std::vector<std::uint8_t>& bytes) { device.model.registers().setRaw(kMacRegister, bytes); }
    std::vector<std::uint8_t> record(std::uint32_t offset, std::size_t length) const {
        return device.model.flash().read(kRecord + offset, length);
    }

    FakeServer server;
    RedirectedSockets sockets{server.port()};
    ModelDevice device;
    TestContext context;
};

constexpr const char* kErased = "FF FF FF FF FF FF FF FF FF FF FF FF";

TEST(SerialNumber, ADefaultDeviceGetsANumberFromTheServerWrittenIntoItsRecord) {
    struct Case {
        const char* reply;
        ResultState state;
        const char* details;
        std::uint32_t serial;  // in the context afterwards
        const char* record;    // its first 12 bytes afterwards
    } const cases[] = {
        {"200 0x000000001C03C892\r\n", Passed, "New Serial: 470010002", 470010002,
         "08 BE E1 7D 00 00 00 00 92 C8 03 1C"},
        {"200 0x000000001C9C5F10\r\n", Passed, "New Serial: 480010000", 480010000,  // the last of the range
         "08 BE E1 7D 00 00 00 00 10 5F 9C 1C"},
        {"200 0x000000001C9C5F11\r\n", Fatal, "SN System Failure: 480010001", 470010000, kErased},
        {"503\r\n", Fatal, "SN System Failure: 0", 470010000, kErased},
        {"200\r\n", Fatal, "SN System Failure: 0", 470010000, kErased},  // a 200 without its number
    };
    for (const Case& c : cases) {
        Station station;
        station.serials(kBlank, 470010000);
        station.server.expect("serial\r\n", c.reply);
        EXPECT_EQ(serialNumberStep(&station.context), 0) << c.reply;
        EXPECT_EQ(station.context.resultState, c.state) << c.reply;
        EXPECT_STREQ(station.context.details, c.details);
        EXPECT_EQ(station.record(0, 12), testing_support::hex(c.record)) << c.reply;
        EXPECT_EQ(station.context.serialNumber, c.serial) << c.reply;
    }
}

TEST(SerialNumber, EveryOtherStateIsJudgedWithoutAskingTheServer) {
    struct Case {
        const char* what;
        std::uint32_t stored;
        std::uint32_t running;
        std::uint32_t flags;
        ResultState state;
        const char* details;
    } const cases[] = {
        {"provisioned", 470012345, 470012345, flags::kDefault, Passed, "Serial Number: 470012345"},
        {"written, not yet running", 470012345, 470010000, flags::kDefault, Fatal,
         "Power cycle the Z6 and try again."},
        {"inconsistent", kBlank, 470012345, flags::kDefault, Fatal, "Power cycle the Z6 and try again. 2470012345"},
        {"default, station may not assign", kBlank, 470010000, flags::kDefault & ~flags::kAssignSerial, Warning,
         "Default Serial: 470010000"},
        {"default, no server", kBlank, 470010000, flags::kDefault & ~flags::kTestServer, Fatal,
         "Must Report to Serialize"},
    };
    for (const Case& c : cases) {
        Station station(c.flags);
        station.serials(c.stored, c.running);
        EXPECT_EQ(serialNumberStep(&station.context), 0) << c.what;
        EXPECT_EQ(station.context.resultState, c.state) << c.what;
        EXPECT_STREQ(station.context.details, c.details) << c.what;
        EXPECT_EQ(station.context.serialNumber, c.running) << c.what;
    }
}

TEST(SerialNumber, TheConsoleShowsTheCheckpointsPassed) {
    Station station;
    station.serials(kBlank, 470010000);
    station.server.expect("serial\r\n", "200 0x000000001C03C892\r\n");
    serialNumberStep(&station.context);
    EXPECT_EQ(station.device.console.output(), "SN DB: 1 2 3 4 9 10 11 12 14");
}

TEST(SerialNumber, ACommErrorOnTheSerialRegisterIsFatal) {
    Station station;
    station.device.model.registers().onRead(kSerialRegister, [](std::span<std::uint8_t>) {
        return z6::DeviceError::AnalogSettingInvalid;
    });
    EXPECT_EQ(serialNumberStep(&station.context), 1);
    EXPECT_EQ(station.context.resultState, Fatal);
    EXPECT_STREQ(station.context.details, "Comm Error: (2380)");
}

TEST(EthernetMac, EveryStateOfTheMacRegister) {
    struct Case {
        const char* what;
        const char* registerBytes;
        std::uint32_t flags;
        const char* reply;  // to "mac", or null: not asked
        ResultState state;
        const char* details;
        const char* written;  // bytes 20 to 27 of the record afterwards
    } const cases[] = {
        {"its own", "00 00 0E 5D 71 00 20 01", flags::kDefault, nullptr, Passed, "MAC: 0E.5D.71.00.20.01",
         "FF FF FF FF FF FF FF FF"},
        {"default, assigned", "00 00 0E 5D 71 00 20 00", flags::kDefault, "200 0x0E5D71000123\r\n", Passed,
         "MAC Written: 0E.5D.71.00.01.23", "00 00 0E 5D 71 00 01 23"},
        {"default, station may not assign", "00 00 0E 5D 71 00 20 00", flags::kDefault & ~flags::kAssignMac,
         nullptr, Warning, "Default MAC: 0E.5D.71.00.20.00", "FF FF FF FF FF FF FF FF"},
        {"default, no server", "00 00 0E 5D 71 00 20 00", flags::kDefault & ~flags::kTestServer, nullptr, Fatal,
         "Must Report to Update MAC", "FF FF FF FF FF FF FF FF"},
        {"default, the server fails", "00 00 0E 5D 71 00 20 00", flags::kDefault, "500\r\n", Fatal,
         "Failed to get MAC from DQTS", "FF FF FF FF FF FF FF FF"},
        {"default, a 200 without a MAC", "00 00 0E 5D 71 00 20 00", flags::kDefault, "200\r\n", Fatal,
         "Failed to get MAC from DQTS", "FF FF FF FF FF FF FF FF"},
        {"blank", "00 00 FF FF FF FF FF FF", flags::kDefault, nullptr, Fatal, "MAC system failure: FF.FF.FF.FF.FF.FF",
         "FF FF FF FF FF FF FF FF"},
        {"below the default", "00 00 0E 5D 71 00 1F FF", flags::kDefault, nullptr, Fatal,
         "MAC system failure: 0E.5D.71.00.1F.FF", "FF FF FF FF FF FF FF FF"},
    };
    for (const Case& c : cases) {
        Station station(c.flags);
        station.mac(testing_support::hex(c.registerBytes));
        if (c.reply) station.server.expect("mac\r\n", c.reply);
        EXPECT_EQ(ethernetMacStep(&station.context), 0) << c.what;
        EXPECT_EQ(station.context.resultState, c.state) << c.what;
        EXPECT_STREQ(station.context.details, c.details) << c.what;
        EXPECT_EQ(station.record(20, 8), testing_support::hex(c.written)) << c.what;
    }
}

}  // namespace
