// The one record every step receives: device handles, station flags, the
// running step's result, and what steps learn about the device and the jig.
#pragma once

#include "sequencer/result_state.h"
#include "sequencer/text.h"

#include <cstdint>
#include <memory>

class ServerClient;

constexpr int kMaxTestRecords = 50;

struct TestContext {
    TestContext();
    ~TestContext();
    TestContext(const TestContext&) = delete;
    TestContext& operator=(const TestContext&) = delete;

    std::int32_t handle = 0;      // connection all steps use: USB, later Ethernet
    std::int32_t usbHandle = 0;
    std::int32_t ethHandle = 0;
    std::int32_t wifiHandle = 0;
    std::uint32_t stationFlags = 0;
    ResultState resultState = NotYetRun;  // result of the step now running
    double firmwareVersion = 0.0;
    double bootstrapVersion = 0.0;
    char details[text::kDetailsSize] = {};  // result text of the step now running
    std::int32_t testCount = 0;
    std::int32_t jigCode = 0;
    std::int32_t jigType = 0;
    double jigCal1 = 0.0;
    double jigCal2 = 0.0;
    double jigCal3 = 0.0;
    double jigCal5 = 0.0;
    double jigCal6 = 0.0;
    double jigCal7 = 0.0;
    std::unique_ptr<ServerClient> serverClient;  // set by the connect step
    bool isPro = false;
    std::uint64_t serialNumber = 0;  // only the low 32 bits carry a value
    std::int32_t finalStepIndex = 0;
    const char* summaryRows[kMaxTestRecords] = {};  // null until row i finished
};

// A step: does its work and reports through resultState and details.
// Returns 0 on the normal path, 1 where it gives up early; the runner
// ignores the value.
using TestFunction = std::int32_t (*)(TestContext* context);
