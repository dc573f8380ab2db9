// Serial ports with one port, COM1, that expects exact writes in order and
// answers each with scripted bytes that arrive a set time later on a
// virtual clock. Installed as the serial ports in use for its lifetime;
// every expectation must be used.
#pragma once

#include "platform/serial_port.h"
#include "platform/virtual_clock.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace testing_support {

class ScriptedSerialPorts : public platform::SerialPorts {
public:
    explicit ScriptedSerialPorts(platform::VirtualClock& clock);
    ~ScriptedSerialPorts() override;
    ScriptedSerialPorts(const ScriptedSerialPorts&) = delete;
    ScriptedSerialPorts& operator=(const ScriptedSerialPorts&) = delete;

    // The next write must be exactly text; reply arrives afterMs later.
    void expect(const std::string& text, const std::string& reply = "", std::uint32_t afterMs = 0);
    // Bytes that arrive now, unasked.
    void arrive(const std::string& bytes);
    std::size_t pending() const { return script_.size(); }

    // Faults: an open that fails with this code (0: none), set-up refused.
    int openFailure = 0;
    bool refuseTimeouts = false;
    bool refuseSettings = false;

    struct Write {
        std::uint64_t atMs;  // on the virtual clock
        std::string text;
    };
    std::vector<Write> writes;
    std::vector<std::uint32_t> readLengths;  // what each read asked for
    int opens = 0;
    int closes = 0;
    bool open_ = false;
    platform::SerialSettings settings;
    platform::SerialTimeouts timeouts;

    platform::SerialHandle open(const wchar_t* name) override;
    bool setTimeouts(platform::SerialHandle port, const platform::SerialTimeouts& timeouts) override;
    bool setSettings(platform::SerialHandle port, const platform::SerialSettings& settings) override;
    bool write(platform::SerialHandle port, const void* data, std::uint32_t length, std::uint32_t& written) override;
    bool read(platform::SerialHandle port, void* buffer, std::uint32_t length, std::uint32_t& received) override;
    bool close(platform::SerialHandle port) override;
    int lastError() override { return lastError_; }
    int portMissingCode() override { return platform::systemSerialPorts().portMissingCode(); }
    int portInUseCode() override { return platform::systemSerialPorts().portInUseCode(); }

    static constexpr platform::SerialHandle kHandle = 7;

protected:
    bool countWaiting(platform::SerialHandle port, std::uint32_t& count) override;

private:
    struct Exchange {
        std::string text;
        std::string reply;
        std::uint32_t afterMs;
    };
    struct Arrival {
        std::uint64_t atMs;
        std::string bytes;
    };
    bool usable(platform::SerialHandle port);
    // Bytes that arrive at atMs, after those due no later.
    void schedule(std::uint64_t atMs, const std::string& bytes);
    // Moves what has arrived by now into received_.
    void deliver();

    platform::VirtualClock& clock_;
    platform::SerialPorts* previous_;
    std::deque<Exchange> script_;
    std::deque<Arrival> arrivals_;
    std::string received_;
    int lastError_ = 0;
};

}  // namespace testing_support
