// Serial ports by their COM names, as the station's bench meter needs them:
// an exclusive open, line settings and time-outs in the fields and codes of
// the Windows communications API, writes, reads that return at once with
// what has arrived, and the count of received bytes waiting.
//
// Production uses this platform's ports (on POSIX a COM name maps to a tty,
// see posix/serial_port_posix.cpp); tests and the in-process station install
// ports of their own, for example one with a simulated meter behind COM1.
// Error codes are the platform's own (errno values on POSIX).
#pragma once

#include <cstdint>

namespace platform {

using SerialHandle = std::intptr_t;
// What an open that failed gives.
inline constexpr SerialHandle kInvalidSerialHandle = -1;
// No port: never opened, closed, or closed again after its set-up failed.
inline constexpr SerialHandle kNullSerialHandle = 0;

// Line settings, field by field a Windows device-control block (its length
// is 28 bytes there). Fields left at their defaults are off or zero.
struct SerialSettings {
    std::uint32_t length = 28;
    std::uint32_t baudRate = 0;
    bool binary = false;
    bool parity = false;  // parity checking
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    std::uint8_t dtrControl = 0;  // kControlDisable, kControlEnable or kControlHandshake
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    bool outX = false;
    bool inX = false;
    bool errorCharEnabled = false;
    bool null = false;
    std::uint8_t rtsControl = 0;  // kControlDisable, kControlEnable or kControlHandshake
    bool abortOnError = false;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    std::uint8_t byteSize = 0;
    std::uint8_t parityCode = 0;  // kNoParity ...
    std::uint8_t stopBits = 0;    // kOneStopBit, kOne5StopBits or kTwoStopBits
    char xonChar = 0;
    char xoffChar = 0;
    char errorChar = 0;
    char eofChar = 0;
    char evtChar = 0;
};

inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kOddParity = 1;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOne5StopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;
inline constexpr std::uint8_t kControlDisable = 0;
inline constexpr std::uint8_t kControlEnable = 1;
inline constexpr std::uint8_t kControlHandshake = 2;

// Read and write time-outs in milliseconds, as Windows defines them. An
// interval of kNoWait with both read totals 0 makes a read return at once
// with whatever has arrived, possibly nothing.
struct SerialTimeouts {
    std::uint32_t readIntervalTimeout = 0;
    std::uint32_t readTotalTimeoutMultiplier = 0;
    std::uint32_t readTotalTimeoutConstant = 0;
    std::uint32_t writeTotalTimeoutMultiplier = 0;
    std::uint32_t writeTotalTimeoutConstant = 0;
};
inline constexpr std::uint32_t kNoWait = 0xFFFFFFFF;

class SerialPorts {
public:
    virtual ~SerialPorts() = default;

    // Opens the port with this COM name ("COM1", or "COM2:" with a colon)
    // for reading and writing, exclusively: while it is open, another open
    // of it fails with portInUseCode(). A freshly opened port holds nothing
    // received. kInvalidSerialHandle when it cannot be opened (lastError()
    // tells why; portMissingCode() when there is no such port).
    virtual SerialHandle open(const wchar_t* name) = 0;
    // Each returns false on failure (lastError() tells why).
    virtual bool setTimeouts(SerialHandle port, const SerialTimeouts& timeouts) = 0;
    virtual bool setSettings(SerialHandle port, const SerialSettings& settings) = 0;
    virtual bool write(SerialHandle port, const void* data, std::uint32_t length, std::uint32_t& written) = 0;
    virtual bool read(SerialHandle port, void* buffer, std::uint32_t length, std::uint32_t& received) = 0;
    virtual bool close(SerialHandle port) = 0;

    // The code of the last failed call; 0 when there was none.
    virtual int lastError() = 0;
    // The codes an open gives for a port that does not exist, and for one
    // that is already open.
    virtual int portMissingCode() = 0;
    virtual int portInUseCode() = 0;

    // Received bytes waiting to be read; false when the port cannot tell.
    // A caller that polls this back to back must neither starve the far
    // side of the processor nor stop time on a virtual clock, so when the
    // count is the one the previous query of this port gave, the query
    // sleeps a millisecond on the clock in use and counts again.
    bool bytesWaiting(SerialHandle port, std::uint32_t& count);

protected:
    // The count alone, at once.
    virtual bool countWaiting(SerialHandle port, std::uint32_t& count) = 0;

private:
    SerialHandle lastQueried_ = kInvalidSerialHandle;
    std::uint32_t lastCount_ = 0;
};

// This platform's ports.
SerialPorts& systemSerialPorts();

// The ports in use: the system's unless others were installed.
SerialPorts& serialPorts();

// Installs ports (nullptr restores the system's); returns those in use.
SerialPorts* installSerialPorts(SerialPorts* ports);

}  // namespace platform
