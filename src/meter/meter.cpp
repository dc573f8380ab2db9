#include "meter/meter.h"

#include "platform/clock.h"
#include "sequencer/console_io.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<std::unique_ptr<Serial>>& portsLeftOpen() {
    static std::vector<std::unique_ptr<Serial>> ports;
    return ports;
}

constexpr int kAttempts = 3;
constexpr std::size_t kIdentificationMinimum = 10;

// One attempt's commands and the sleeps after them; the last two replies
// are read after their sleeps.
struct InitCommand {
    const char* text;
    std::uint32_t sleepMs;
};
constexpr InitCommand kResetCommands[] = {
    {"SYST:LOC\n", 500},
    {"SYST:REM\n", 200},
    {"*RST\n", 400},
    {"*CLS\n", 500},
};
constexpr InitCommand kIdentify = {"*IDN?\n", 500};
constexpr InitCommand kCalibrationString = {"CAL:STR?\n", 500};

}  // namespace

platform::SerialSettings meterLineSettings() {
    platform::SerialSettings settings;
    settings.baudRate = 9600;
    settings.byteSize = 8;
    settings.parityCode = platform::kNoParity;
    settings.parity = false;
    settings.stopBits = platform::kTwoStopBits;
    settings.binary = true;
    settings.dtrControl = platform::kControlHandshake;
    settings.rtsControl = platform::kControlHandshake;
    return settings;
}

const char* const meterConfigStrings[kMeterConfigCount] = {
    ":CONF:VOLT:DC 1.00E+1,1.00E-5;:VOLT:DC:NPLC 100.00;:DET:BAND 3;:ZERO:AUTO OFF;:INP:IMP:AUTO OFF;\n",
    ":CONF:VOLT:DC 1.00E+0,1.00E-6;:VOLT:DC:NPLC 100.00;:DET:BAND 3;:ZERO:AUTO OFF;:INP:IMP:AUTO OFF;\n",
    ":CONF:VOLT:DC 1.00E-1,1.00E-7;:VOLT:DC:NPLC 100.00;:DET:BAND 3;:ZERO:AUTO OFF;:INP:IMP:AUTO OFF;\n",
    ":CONF:VOLT:DC 1.00E-1,1.00E-7;:VOLT:DC:NPLC 100.00;:DET:BAND 3;:ZERO:AUTO OFF;:INP:IMP:AUTO OFF;\n",
};

Meter::~Meter() {
    if (port != nullptr) portsLeftOpen().emplace_back(port);
}

void closePortsLeftOpen() { portsLeftOpen().clear(); }

void Meter::send(const char* text, std::size_t length) {
    std::uint32_t written = 0;
    platform::serialPorts().write(port->comHandle, text, static_cast<std::uint32_t>(length), written);
}

void Meter::send(const char* text) { send(text, std::strlen(text)); }

void Meter::readText(char (&target)[kTextSize]) {
    std::uint32_t received = 0;
    if (!platform::serialPorts().read(port->comHandle, target, kTextSize - 1, received)) received = 0;
    target[received] = '\0';
}

std::int32_t Meter::Init() {
    if (port != nullptr) return kFound;
    port = new Serial(meterLineSettings());
    if (port->comHandle == platform::kInvalidSerialHandle) return kPortNotOpened;

    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        for (const InitCommand& command : kResetCommands) {
            send(command.text);
            platform::sleepMs(command.sleepMs);
        }
        send(kIdentify.text);
        platform::sleepMs(kIdentify.sleepMs);
        readText(idn);
        send(kCalibrationString.text);
        platform::sleepMs(kCalibrationString.sleepMs);
        readText(calString);
        if (std::strlen(idn) >= kIdentificationMinimum) break;
    }
    numSamples = 1;
    configured = false;
    return std::strlen(idn) < kIdentificationMinimum ? kNoIdentification : kFound;
}

void Meter::Config(int index) {
    if (port == nullptr || port->comHandle == platform::kInvalidSerialHandle) return;
    if (index < 0 || index >= kMeterConfigCount) return;
    send(meterConfigStrings[index]);
    configured = true;
}

void Meter::SetNumSamples(int n) {
    if (port == nullptr || port->comHandle == platform::kInvalidSerialHandle) return;
    if (!configured) {
        print("Must config before setting number of samples");
        std::exit(1);
    }
    if (n > kMaxSamples) {
        print("From SetNumSamples: Meter class only built to handle %d samples at a time.\r\n", kMaxSamples);
        n = kMaxSamples;
    }
    numSamples = n;
    char command[64];
    const int length = text::format(command, "Trig:Count %d\n", n);
    if (length > 0) send(command, static_cast<std::size_t>(length));
}

void Meter::StartRead() {
    requestTime = platform::calendarSeconds();
    timedOut_ = false;
    if (port == nullptr || port->comHandle == platform::kInvalidSerialHandle) return;
    send("READ?\n");
    // Whatever is already waiting is left over from earlier replies.
    std::uint32_t drained = 0;
    platform::serialPorts().read(port->comHandle, reply, kReplySize - 1, drained);
    std::memset(reply, 0, sizeof reply);
    replyCount = 0;
}

void Meter::GetReadings(double* values, int& done) {
    if (platform::calendarSeconds() - requestTime > kRequestTimeoutSeconds) {
        done = 1;
        timedOut_ = true;  // unless this poll still finds the readings
    }
    if (port == nullptr) return;
    std::uint32_t waiting = 0;
    if (!platform::serialPorts().bytesWaiting(port->comHandle, waiting)) waiting = 0;
    const std::int64_t wanted = static_cast<std::int64_t>(numSamples) * static_cast<std::int64_t>(kReadingStride);
    if (static_cast<std::int64_t>(waiting) < wanted) return;
    if (port->comHandle == platform::kInvalidSerialHandle) return;

    std::int64_t ask = (numSamples - replyCount / 16) * static_cast<std::int64_t>(kReadingStride) + 2;
    const std::int64_t room = static_cast<std::int64_t>(kReplySize) - replyCount;
    if (ask > room) ask = room;
    std::uint32_t received = 0;
    if (ask > 1 && !platform::serialPorts().read(port->comHandle, reply + replyCount,
                                                 static_cast<std::uint32_t>(ask - 1), received)) {
        received = 0;
    }
    reply[replyCount + received] = '\0';

    // values has room for numSamples readings, whatever the reply holds.
    std::int64_t readings = (replyCount + static_cast<std::int64_t>(received)) / 16;
    if (readings > numSamples) readings = numSamples > 0 ? numSamples : 0;
    for (std::int64_t i = 0; i < readings; ++i) {
        char reading[20];
        std::memcpy(reading, reply + kReadingStride * static_cast<std::size_t>(i), 15);
        reading[15] = '\0';
        values[i] = std::strtod(reading, nullptr);
    }
    replyCount = static_cast<std::int32_t>(received);
    done = 1;
    timedOut_ = false;
}

void Meter::Release() {
    if (port == nullptr || port->comHandle == platform::kInvalidSerialHandle) return;
    send("SYST:LOC\n");
    delete port;
    port = nullptr;
}
