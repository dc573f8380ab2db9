// "Serial Number": compares the serial the device runs with against its
// provisioning record and, for a device with the factory default, asks the
// test server for a new number and writes it into the record. The console
// marks " 1" to " 16" show which checkpoints the step passed.
#include "device/flash.h"
#include "device/registers.h"
#include "sequencer/console_io.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "server/provisioning_record.h"
#include "server/server_client.h"

namespace {

namespace pv = provisioning;

std::uint32_t littleEndianU32(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void storeLittleEndianU32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Ends the step with state and a text followed by a number, no space between.
std::int32_t finish(TestContext* context, ResultState state, const char* text, std::uint32_t number) {
    context->resultState = state;
    text::copy(context->details, text);
    text::appendFormat(context->details, "%u", number);
    return 0;
}

}  // namespace

std::int32_t serialNumberStep(TestContext* context) {
    context->resultState = Passed;
    print("SN DB:");
    print(" 1");
    std::uint8_t record[pv::kRecordSize] = {};
    // Not examined: after a failed read the record reads as zeros.
    flashRead(context->handle, flash::kProvisioning.key, pv::kRecordAddress, pv::kRecordSize, record);
    print(" 2");
    const std::uint32_t stored = littleEndianU32(record + pv::kSerialOffset);
    print(" 3");
    std::uint32_t device = 0;
    if (const std::int32_t code = readAddressU32(context->handle, pv::kSerialRegister, &device))
        return failCommError(context, code);
    print(" 4");
    context->serialNumber = device;

    if (stored != pv::kBlankSerial) {
        if (stored != device) {
            // The record holds a number the device is not running with yet.
            print(" 5");
            context->resultState = Fatal;
            text::copy(context->details, "Power cycle the Z6 and try again.");
            return 0;
        }
        if (device >= pv::kFirstOwnSerial) {
            print(" 6");
            return finish(context, Passed, "Serial Number: ", device);
        }
    }
    if (device != pv::kDefaultSerial && device != pv::kBlankSerial) {
        print(" 16");
        return finish(context, Fatal, "Power cycle the Z6 and try again. 2", device);
    }

    if ((context->stationFlags & flags::kAssignSerial) == 0) {
        print(" 7");
        return finish(context, Warning, "Default Serial: ", device);
    }
    if ((context->stationFlags & flags::kTestServer) == 0) {
        print(" 8");
        context->resultState = Fatal;
        text::copy(context->details, "Must Report to Serialize");
        return 0;
    }
    print(" 9");
    std::uint64_t value = 0;
    std::uint32_t assigned = 0;
    if (context->serverClient && context->serverClient->requestSerial(value) == 0)
        assigned = static_cast<std::uint32_t>(value);  // a failed request delivers no number
    print(" 10");
    if (assigned < pv::kFirstNewSerial || assigned > pv::kLastNewSerial) {
        print(" 15");
        return finish(context, Fatal, "SN System Failure: ", assigned);
    }
    print(" 11");
    std::uint8_t written[12] = {};
    storeLittleEndianU32(written, pv::kMarker);
    storeLittleEndianU32(written + pv::kSerialOffset, assigned);
    print(" 12");
    if (const std::int32_t code =
            flashUpdate(context->handle, flash::kProvisioning.key, pv::kRecordAddress, sizeof written, written)) {
        print(" 13");
        context->resultState = Fatal;
        text::copy(context->details, "Failed to write SN (");
        text::appendFormat(context->details, "%u)", static_cast<std::uint32_t>(code));
        return 0;
    }
    context->serialNumber = assigned;
    print(" 14");
    return finish(context, Passed, "New Serial: ", assigned);
}
