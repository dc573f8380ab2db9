// z6sim as the station's library meets it: a real process on a USB bus
// directory and loopback TCP, talked to over raw sockets.
#include "harness.h"

#include "sim/sim_support.h"
#include "z6_wire.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

using e2e::SimProcess;
using e2e::WireClient;
using e2e::kStartMs;
using sim_test::Feedback;
using sim_test::feedbackReply;
using sim_test::hex;
using sim_test::hexText;
using Bytes = std::vector<std::uint8_t>;
using SteadyClock = std::chrono::steady_clock;

constexpr int kReplyMs = 3000;

long msSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
}

// Polls condition every 10 ms for up to timeoutMs.
template <typename Condition>
bool eventually(Condition condition, int timeoutMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (SteadyClock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string text(const std::optional<Bytes>& message) { return message ? hexText(*message) : "(no message)"; }

// Function 3 of count registers at address, transaction 1.
Bytes readHolding(std::uint16_t address, std::uint8_t count, std::uint8_t unit = 1) {
    return {0x00, 0x01, 0x00, 0x00, 0x00, 0x06, unit, 0x03, static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address), 0x00, count};
}

class Z6simTest : public ::testing::Test {
protected:
    sim_test::TempDir bus;
    sim_test::TempDir state;
};

#define ASSERT_READY(sim) ASSERT_TRUE((sim).ready()) << (sim).output()

TEST_F(Z6simTest, OrdinaryModbusReadsTheProductIdOverTcpAndUsbWithAnyUnit) {
    e2e::Z6Sim sim(bus.path(), state.path(), {"--listen", "127.0.0.2", "--listen", "127.0.0.3"});
    ASSERT_READY(sim);
    EXPECT_EQ(sim.usbPath(), (bus.path() / "port-01").string()) << "the first device takes the lowest position";
    EXPECT_NE(sim.output().find("z6sim: listening 127.0.0.3:" + std::to_string(sim.port())), std::string::npos)
        << "one port on every address\n" << sim.output();

    struct Case {
        const char* transport;
        std::uint8_t unit;
    } cases[] = {{"127.0.0.2", 1}, {"127.0.0.3", 0}, {"127.0.0.2", 0xFF}, {"usb", 1}};
    for (const Case& c : cases) {
        WireClient client = std::string(c.transport) == "usb" ? sim.usb() : sim.tcp(c.transport);
        ASSERT_TRUE(client.connected()) << c.transport << ": " << client.error();
        const Bytes expected = {0x00, 0x01, 0x00, 0x00, 0x00, 0x07, c.unit, 0x03, 0x04, 0x40, 0xE0, 0x00, 0x00};
        EXPECT_EQ(text(client.exchange(readHolding(60000, 2, c.unit))), hexText(expected)) << c.transport;
    }
}

TEST_F(Z6simTest, RequestsAreAnsweredWholeAndInOrderHoweverTheBytesArrive) {
    e2e::Z6Sim sim(bus.path(), state.path());
    ASSERT_READY(sim);
    WireClient client = sim.tcp();
    ASSERT_TRUE(client.connected()) << client.error();

    // Byte by byte, with pauses the device must not take for the end of a message.
    const Bytes request = readHolding(60000, 2);
    for (std::uint8_t byte : request) {
        ASSERT_TRUE(client.send({byte}));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(text(client.receive(kReplyMs)), "00 01 00 00 00 07 01 03 04 40 E0 00 00");

    // Three requests in one write: a function-76 write, a function-16 write and
    // a function-3 read of both, answered in the order sent.
    Bytes batch = Feedback().writeU32(4990, 300).bytes();
    const Bytes write16 = hex("00 02 00 00 00 09 01 10 BB 83 00 01 02 00 07");
    const Bytes read = hex("00 03 00 00 00 06 01 03 13 7E 00 02");
    batch.insert(batch.end(), write16.begin(), write16.end());
    batch.insert(batch.end(), read.begin(), read.end());
    ASSERT_TRUE(client.send(batch));
    EXPECT_EQ(text(client.receive(kReplyMs)), feedbackReply(""));
    EXPECT_EQ(text(client.receive(kReplyMs)), "00 02 00 00 00 06 01 10 BB 83 00 01");
    EXPECT_EQ(text(client.receive(kReplyMs)), "00 03 00 00 00 07 01 03 04 00 00 01 2C");
    EXPECT_EQ(text(client.exchange(Feedback().read(48003, 1).read(4990, 2).bytes())),
              feedbackReply("00 07 00 00 01 2C"));
}

TEST_F(Z6simTest, MalformedRequestsGetAnExceptionAndTheConnectionStaysUsable) {
    e2e::Z6Sim sim(bus.path(), state.path());
    ASSERT_READY(sim);
    WireClient client = sim.usb();
    ASSERT_TRUE(client.connected()) << client.error();
    struct Case {
        const char* what;
        const char* request;
        const char* reply;
    } cases[] = {
        {"too short for a function", "00 09 00 00 00 01 01", "00 09 00 00 00 03 01 80 03"},
        {"unknown function", "00 09 00 00 00 02 01 2B", "00 09 00 00 00 03 01 AB 01"},
        {"feedback frame cut short", "00 09 00 00 00 05 01 4C 00 EA 60", "00 09 00 00 00 05 01 CC 03 00 00"},
        {"read of an unmapped register", "00 09 00 00 00 06 01 03 00 64 00 01", "00 09 00 00 00 03 01 83 02"},
        {"restart without its key", "00 09 00 00 00 0B 01 10 F2 2C 00 02 04 00 00 00 01", "00 09 00 00 00 03 01 90 04"},
        {"stream with no addresses", "00 09 00 00 00 09 01 64 01 44 7A 00 00 00 00",
         "00 09 00 00 00 05 01 E4 03 09 43"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(text(client.exchange(hex(c.request))), c.reply) << c.what;
    }
    EXPECT_EQ(text(client.exchange(readHolding(60000, 2))), "00 01 00 00 00 07 01 03 04 40 E0 00 00");
}

TEST_F(Z6simTest, StreamDataComesAtTheScanRateUntilStopped) {
    e2e::Z6Sim sim(bus.path(), state.path());
    ASSERT_READY(sim);
    WireClient client = sim.tcp();
    ASSERT_TRUE(client.connected()) << client.error();

    // 1000 scans per second of the product id.
    EXPECT_EQ(text(client.exchange(hex("00 05 00 00 00 0B 01 64 01 44 7A 00 00 00 01 EA 60"))),
              "00 05 00 00 00 07 01 64 01 44 7A 00 00");
    const auto started = SteadyClock::now();
    std::uint32_t scans = 0;
    while (scans < 300 && msSince(started) < 5000) {
        const auto message = client.receive(1000);
        ASSERT_TRUE(message) << "stream data stopped after " << scans << " scans";
        ASSERT_GE(message->size(), 16u);
        ASSERT_EQ((*message)[7], 101) << hexText(*message);
        const std::uint32_t first = z6wire::loadU32(message->data() + 8);
        const std::uint16_t count = z6wire::loadU16(message->data() + 12);
        ASSERT_EQ(first, scans) << "scans numbered on without a gap";
        ASSERT_EQ(z6wire::loadU16(message->data() + 14), 1);
        ASSERT_EQ(message->size(), 16u + 4u * count);
        for (std::uint16_t i = 0; i < count; ++i) {
            ASSERT_EQ(hexText(Bytes(message->begin() + 16 + 4 * i, message->begin() + 20 + 4 * i)), "40 E0 00 00");
        }
        scans += count;
    }
    const long elapsed = msSince(started);
    EXPECT_GE(elapsed, 250) << "300 scans at 1000 per second came too fast";
    EXPECT_LE(elapsed, 1500) << "300 scans at 1000 per second came too slowly";

    // Data already on its way may come before the stop's reply; none after it.
    ASSERT_TRUE(client.send(hex("00 06 00 00 00 03 01 64 00")));
    std::optional<Bytes> reply;
    for (int i = 0; i < 100 && (reply = client.receive(kReplyMs)) && (*reply)[7] == 101; ++i) {
    }
    EXPECT_EQ(text(reply), "00 06 00 00 00 07 01 64 00 44 7A 00 00");
    EXPECT_EQ(text(client.receive(200)), "(no message)");
}

TEST_F(Z6simTest, AClientThatDoesNotReadIsDroppedWhileOthersAreServed) {
    e2e::Z6Sim sim(bus.path(), state.path());
    ASSERT_READY(sim);
    WireClient sleeper = sim.usb();
    WireClient other = sim.tcp();
    ASSERT_TRUE(sleeper.connected() && other.connected());

    // The fastest stream of 32 values per scan, never read.
    Bytes start = hex("00 05 00 00 00 49 01 64 01 47 C3 50 00 00 20");
    for (int i = 0; i < 32; ++i) start.insert(start.end(), {0xEA, 0x60});
    ASSERT_TRUE(sleeper.send(start));
    const auto dropped = sim.process().waitForLine("z6sim: closed usb (not reading", 10000);
    EXPECT_TRUE(dropped) << sim.output();
    EXPECT_EQ(text(other.exchange(readHolding(60000, 2))), "00 01 00 00 00 07 01 03 04 40 E0 00 00");
}

// Serial 470010002 in the provisioning record, least significant byte first.
const Feedback kProvisionSerial = Feedback()
                                      .writeU32(61800, 0x91E0C7D3)
                                      .write(61830, hex("00 3C 30 08 92 C8 03 1C"));

TEST_F(Z6simTest, RestartDropsConnectionsUnplugsAndComesBackWithTheRecordedSerial) {
    e2e::Z6Sim sim(bus.path(), state.path());
    ASSERT_READY(sim);
    WireClient usb = sim.usb();
    WireClient tcp = sim.tcp();
    ASSERT_TRUE(usb.connected() && tcp.connected());
    EXPECT_EQ(text(usb.exchange(kProvisionSerial.bytes())), feedbackReply(""));
    EXPECT_EQ(text(usb.exchange(readHolding(60028, 2))), "00 01 00 00 00 07 01 03 04 1C 03 C8 90")
        << "the record counts from the next boot";

    EXPECT_EQ(text(tcp.exchange(hex("00 0A 00 00 00 0B 01 10 F2 2C 00 02 04 44 51 00 20"))),
              "00 0A 00 00 00 06 01 10 F2 2C 00 02");
    const auto restarted = SteadyClock::now();
    EXPECT_TRUE(tcp.waitClosed(3000));
    EXPECT_TRUE(usb.waitClosed(3000));
    EXPECT_TRUE(eventually([&] { return !std::filesystem::exists(sim.usbPath()); }, 3000)) << "still plugged in";
    EXPECT_FALSE(sim.tcp().connected()) << "still listening";

    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(sim.usbPath()); }, 12000)) << sim.output();
    EXPECT_GE(msSince(restarted), 4500) << "back before the restart time";
    WireClient again = sim.usb();
    ASSERT_TRUE(again.connected()) << again.error();
    EXPECT_EQ(text(again.exchange(readHolding(60028, 2))), "00 01 00 00 00 07 01 03 04 1C 03 C8 92");
    WireClient tcpAgain;
    EXPECT_TRUE(eventually([&] { return (tcpAgain = sim.tcp()).connected(); }, 3000)) << "not listening on the same port";
    EXPECT_EQ(text(tcpAgain.exchange(readHolding(60000, 2))), "00 01 00 00 00 07 01 03 04 40 E0 00 00");

    const std::string output = sim.output();
    for (const char* line : {"z6sim: device restarting", "z6sim: unplugged usb ", "z6sim: device back, boot 2"}) {
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    }
}

TEST_F(Z6simTest, FlashAndSettingsSurviveTheProcessIdleSavedAndSavedAtExit) {
    const Bytes calibration = hex("3F 80 00 00 40 00 00 00");
    {
        e2e::Z6Sim first(bus.path(), state.path());
        ASSERT_READY(first);
        WireClient client = first.tcp();
        EXPECT_EQ(text(client.exchange(Feedback()
                                           .writeU32(4990, 300)
                                           .writeU32(61800, 0x5E19B0C4)  // calibration region key
                                           .write(61830, hex("00 3C 40 00 3F 80 00 00 40 00 00 00"))
                                           .bytes())),
                  feedbackReply(""));
        // Saved once the device is idle: even a killed process keeps it.
        EXPECT_TRUE(first.process().waitForLine("z6sim: saved state", 5000)) << first.output();
        EXPECT_EQ(first.process().signalAndWait(SIGKILL, 5000), 128 + SIGKILL);
    }
    {
        e2e::Z6Sim second(bus.path(), state.path());
        ASSERT_READY(second);
        EXPECT_EQ(second.usbPath(), (bus.path() / "port-01").string()) << "the killed device's socket is taken over";
        WireClient client = second.usb();
        EXPECT_EQ(text(client.exchange(Feedback()
                                           .read(4990, 2)
                                           .writeU32(61800, 0x5E19B0C4)
                                           .writeU32(61810, 0x3C4000)
                                           .read(61812, 4)
                                           .writeU32(4990, 301)
                                           .bytes())),
                  feedbackReply("00 00 01 2C " + hexText(calibration)));
        EXPECT_EQ(second.process().signalAndWait(SIGTERM, 5000), 0) << second.output();
    }
    e2e::Z6Sim third(bus.path(), state.path());
    ASSERT_READY(third);
    EXPECT_EQ(text(third.tcp().exchange(readHolding(4990, 2))), "00 01 00 00 00 07 01 03 04 00 00 01 2D");
}

TEST_F(Z6simTest, SigtermAndSigintUnplugAndExitZero) {
    for (const int signal : {SIGTERM, SIGINT}) {
        e2e::Z6Sim sim(bus.path(), state.path());
        ASSERT_READY(sim);
        WireClient client = sim.usb();
        ASSERT_TRUE(client.connected());
        EXPECT_EQ(sim.process().signalAndWait(signal, 5000), 0) << signal << "\n" << sim.output();
        EXPECT_FALSE(std::filesystem::exists(sim.usbPath())) << signal;
        EXPECT_TRUE(client.waitClosed(1000)) << signal;
        EXPECT_TRUE(sim.process().waitForLine("z6sim: exit 0", 1000)) << sim.output();
    }
}

TEST_F(Z6simTest, TheBusIsSharedAndItsPositionsAndPortsAreNotTakenTwice) {
    // A socket left behind by a device that died is free to take.
    const std::string stale = (bus.path() / "port-01").string();
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, stale.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    e2e::Z6Sim first(bus.path(), state.path());
    ASSERT_READY(first);
    EXPECT_EQ(first.usbPath(), stale);

    sim_test::TempDir otherState;
    e2e::Z6Sim second(bus.path(), otherState.path(), {"--listen", "127.0.0.4"});
    ASSERT_READY(second);
    EXPECT_EQ(second.usbPath(), (bus.path() / "port-02").string());

    struct Case {
        const char* what;
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {"a position in use", {"--usb-port", "1", "--listen", "127.0.0.5"}, "is taken by another device"},
        {"a port in use", {"--no-usb", "--port", std::to_string(first.port()), "--listen", "127.0.0.2"},
         "cannot listen on 127.0.0.2"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--usb-bus", bus.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess refused(Z6SIM_PROGRAM, args);
        EXPECT_EQ(refused.waitExit(kStartMs), 1) << c.what << "\n" << refused.output();
        EXPECT_TRUE(refused.waitForLine(c.message, 0)) << c.what << "\n" << refused.output();
    }
    EXPECT_TRUE(std::filesystem::exists(stale)) << "a refused device must not unplug another";
    EXPECT_EQ(text(first.usb().exchange(readHolding(60000, 2))), "00 01 00 00 00 07 01 03 04 40 E0 00 00");
}

TEST_F(Z6simTest, BadCommandLinesAreRefusedWithExitCode2) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--listen", "192.168.1.5"}, "192.168.1.5 is not a loopback address"},
        {{"--listen", "0.0.0.0"}, "0.0.0.0 is not a loopback address"},
        {{"--listen", "localhost"}, "is not an IPv4 address"},
        {{"--port", "65536"}, "is not a TCP port"},
        {{"--usb-port", "100"}, "is not a bus position"},
        {{"--scenario", "no-such-device"}, "healthy-pro"},  // the message lists those there are
        {{"--state"}, "--state needs a value"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--usb-bus", bus.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess refused(Z6SIM_PROGRAM, args);
        EXPECT_EQ(refused.waitExit(kStartMs), 2) << c.args[0] << "\n" << refused.output();
        EXPECT_TRUE(refused.waitForLine(c.message, 0)) << c.args[0] << "\n" << refused.output();
    }
    EXPECT_TRUE(std::filesystem::is_empty(bus.path())) << "nothing plugged in";
}

TEST_F(Z6simTest, InjectedFaultsAreReportedOneLineEach) {
    e2e::Z6Sim sim(bus.path(), state.path(), {"--scenario", "flash-read-busy"});
    ASSERT_READY(sim);
    EXPECT_TRUE(sim.process().waitForLine("z6sim: scenario flash-read-busy", 0));
    WireClient client = sim.tcp();
    const Bytes read = Feedback().writeU32(61800, 0x5E19B0C4).writeU32(61810, 0x3C4000).read(61812, 16).bytes();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(text(client.exchange(read)), sim_test::feedbackException(4, 2358)) << i;
    }
    EXPECT_EQ(text(client.exchange(read)).substr(0, 23), "00 01 00 00 00 22 01 4C");
    ASSERT_TRUE(sim.process().waitForLine("z6sim: fault: flash read busy", 2000));
    std::size_t faults = 0;
    for (std::size_t at = 0, index = 0; sim.process().waitForLine("z6sim: fault: flash read busy", 0, at, &index);
         at = index + 1) {
        ++faults;
    }
    EXPECT_EQ(faults, 3u) << sim.output();
}

}  // namespace
