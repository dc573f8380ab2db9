// This platform's serial ports on a real pseudo-terminal: the COM name
// mapping, the exclusive open, the line settings as the tty holds them, and
// reads and counts that never wait.
#include "support/pty_pair.h"
#include "support/recording_console.h"
#include "support/scoped_clock.h"

#include "meter/meter.h"
#include "meter/serial.h"
#include "platform/posix/com_port_path.h"
#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <termios.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using testing_support::PtyPair;

TEST(ComPortPath, MapsComNamesToTtysOrTheMappingDirectory) {
    struct Case {
        const wchar_t* name;
        const char* comDir;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {L"COM1", "", "/dev/ttyS0"},
        {L"COM2:", "", "/dev/ttyS1"},
        {L"COM12", "", "/dev/ttyS11"},
        {L"COM1", "/tmp/com", "/tmp/com/COM1"},
        {L"COM8:", "/tmp/com", "/tmp/com/COM8"},
        {L"COM0", "", std::nullopt},
        {L"COM01", "", std::nullopt},
        {L"COM", "", std::nullopt},
        {L"COM1::", "", std::nullopt},
        {L"com1", "", std::nullopt},
        {L"LPT1", "", std::nullopt},
        {L"COM1/../x", "/tmp/com", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::comPortPath(c.name, c.comDir), c.path) << c.comDir;
}

struct SerialPortOnPty : ::testing::Test {
    ~SerialPortOnPty() override {
        if (handle != platform::kInvalidSerialHandle) ports.close(handle);
    }
    void openComOne() {
        handle = ports.open(L"COM1");
        ASSERT_NE(handle, platform::kInvalidSerialHandle) << ports.lastError();
        ASSERT_TRUE(ports.setTimeouts(handle, kSerialTimeouts));
        ASSERT_TRUE(ports.setSettings(handle, meterLineSettings()));
    }

    PtyPair pty;
    platform::SerialPorts& ports = platform::systemSerialPorts();
    platform::SerialHandle handle = platform::kInvalidSerialHandle;
};

TEST_F(SerialPortOnPty, TheTtyHoldsTheMetersLineSettings) {
    const int observer = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(observer, 0);
    {
        testing_support::RecordingConsole console;
        Serial serial(meterLineSettings());
        ASSERT_GT(serial.comHandle, 0);
        termios tio{};
        ASSERT_EQ(::tcgetattr(observer, &tio), 0);
        EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B9600));
        EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
        EXPECT_EQ(tio.c_cflag & PARENB, 0u);
        EXPECT_EQ(tio.c_iflag & INPCK, 0u);
        EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u) << "raw: nothing echoed or cooked";
        EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | IXOFF), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
        EXPECT_EQ(console.output(), "");
    }
    ::close(observer);
}

TEST_F(SerialPortOnPty, ASecondOpenIsRefusedUntilTheFirstCloses) {
    openComOne();
    EXPECT_EQ(ports.open(L"COM1"), platform::kInvalidSerialHandle);
    EXPECT_EQ(ports.lastError(), EACCES);
    EXPECT_EQ(ports.portInUseCode(), EACCES);
    ASSERT_TRUE(ports.close(handle));
    handle = ports.open(L"COM1");
    EXPECT_NE(handle, platform::kInvalidSerialHandle) << "open again after the close: " << ports.lastError();
}

TEST_F(SerialPortOnPty, BytesGoBothWaysAndReadsNeverWait) {
    pty.send("stale\r\n");
    openComOne();
    char buffer[64];
    std::uint32_t received = 99;
    EXPECT_TRUE(ports.read(handle, buffer, sizeof buffer, received));
    EXPECT_EQ(received, 0u) << "a fresh port holds nothing received before it opened";

    std::uint32_t written = 0;
    ASSERT_TRUE(ports.write(handle, "*IDN?\n", 6, written));
    EXPECT_EQ(written, 6u);
    std::string sent;
    for (int i = 0; i < 200 && sent.size() < 6; ++i) {
        sent += pty.takeSent();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(sent, "*IDN?\n");

    pty.send("A,B\r\n");
    std::uint32_t waiting = 0;
    for (int i = 0; i < 200 && waiting < 5; ++i) ASSERT_TRUE(ports.bytesWaiting(handle, waiting));
    EXPECT_EQ(waiting, 5u);
    ASSERT_TRUE(ports.read(handle, buffer, sizeof buffer, received));
    EXPECT_EQ(std::string(buffer, received), "A,B\r\n") << "CR and LF pass unchanged";
}

TEST_F(SerialPortOnPty, AnUnchangedCountWaitsAMillisecondOnTheClockInUse) {
    openComOne();
    testing_support::ScopedClock<> clock;
    std::uint32_t waiting = 1;
    ASSERT_TRUE(ports.bytesWaiting(handle, waiting));
    EXPECT_EQ(waiting, 0u);
    const std::uint64_t before = clock.clock.elapsedMs();
    ASSERT_TRUE(ports.bytesWaiting(handle, waiting));
    ASSERT_TRUE(ports.bytesWaiting(handle, waiting));
    EXPECT_EQ(clock.clock.elapsedMs() - before, 2u);
}

TEST_F(SerialPortOnPty, MissingPortsAndLineSettingsATtyCannotTake) {
    testing_support::TempDir empty("com-empty");
    {
        testing_support::ScopedComDir elsewhere(empty.path());
        EXPECT_EQ(ports.open(L"COM1"), platform::kInvalidSerialHandle);
        EXPECT_EQ(ports.lastError(), ENOENT);
        EXPECT_EQ(ports.portMissingCode(), ENOENT);
        EXPECT_EQ(ports.open(L"LPT1"), platform::kInvalidSerialHandle);
        EXPECT_EQ(ports.lastError(), ENOENT);
    }
    handle = ports.open(L"COM1");
    ASSERT_NE(handle, platform::kInvalidSerialHandle);
    platform::SerialSettings odd = meterLineSettings();
    odd.baudRate = 12345;
    EXPECT_FALSE(ports.setSettings(handle, odd));
    EXPECT_EQ(ports.lastError(), EINVAL);
    EXPECT_FALSE(ports.setTimeouts(handle, {0, 0, 100, 0, 0})) << "only reads that return at once";
    EXPECT_FALSE(ports.setSettings(platform::kNullSerialHandle, meterLineSettings()));
    EXPECT_EQ(ports.lastError(), EBADF);
}

}  // namespace
