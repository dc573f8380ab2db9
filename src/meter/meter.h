// The station's bench meter, an HP34401A on COM1, driven with SCPI lines:
// found and reset by Init, set to a DC-volts range by Config, asked for
// numSamples readings per request, which StartRead begins and GetReadings
// collects in non-blocking polls.
//
// Use: Init; for each range Config and SetNumSamples; any number of
// StartRead with polls of GetReadings until done; Release. Each step that
// uses the meter makes its own and releases it when its meter work ends.
#pragma once

#include "meter/serial.h"
#include "platform/serial_port.h"

#include <cstddef>
#include <cstdint>

// The line settings the meter needs: 9600 baud, 8 data bits, no parity,
// 2 stop bits, DTR and RTS handshake.
platform::SerialSettings meterLineSettings();

// The measurement configurations by index (the gain index of the range):
// DC volts on 10 V, 1 V and 100 mV (index 3 shares the 100 mV range) at
// 100 power-line cycles, auto-zero and automatic input impedance off.
inline constexpr int kMeterConfigCount = 4;
extern const char* const meterConfigStrings[kMeterConfigCount];

class Meter {
public:
    static constexpr std::int32_t kFound = 0;
    static constexpr std::int32_t kNoIdentification = 10000;  // no usable *IDN? reply
    static constexpr std::int32_t kPortNotOpened = 10001;
    static constexpr std::int32_t kMaxSamples = 64;
    static constexpr std::size_t kTextSize = 200;
    static constexpr std::size_t kReplySize = 2048;
    static constexpr std::size_t kReadingStride = 16;  // 15 characters and a separator
    static constexpr std::int64_t kRequestTimeoutSeconds = 20;

    Meter() = default;
    // A port the meter was not released from stays open until the program
    // ends (see closePortsLeftOpen).
    ~Meter();
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;

    // 0 when the meter answered its identification (or the port was already
    // set, whatever became of it), kNoIdentification, or kPortNotOpened.
    std::int32_t Init();
    void Config(int index);
    // At most kMaxSamples per request; before any Config it ends the program.
    void SetNumSamples(int n);
    void StartRead();
    // One poll: once the whole reply is waiting, parses it into values (room
    // for numSamples) and sets done to 1. Past the request's time-out it sets
    // done to 1 whether or not readings came; it never clears done.
    void GetReadings(double* values, int& done);
    // Hands the meter back to its front panel and closes the port.
    void Release();

    // Whether the last request's wait ended by its time-out without
    // readings: values were then left as they were, and are not new.
    bool requestTimedOut() const { return timedOut_; }

    Serial* port = nullptr;  // owned
    std::int64_t requestTime = 0;
    std::int32_t numSamples = 1;
    char idn[kTextSize] = {};
    char calString[kTextSize] = {};
    char reply[kReplySize] = {};
    std::int32_t replyCount = 0;
    bool configured = false;

private:
    void send(const char* text, std::size_t length);
    void send(const char* text);
    // Reads what has arrived, at most kTextSize - 1 bytes, as a text.
    void readText(char (&target)[kTextSize]);

    bool timedOut_ = false;
};

// Closes the ports of meters that were never released: what the end of the
// program does, for a caller that runs the station more than once.
void closePortsLeftOpen();
