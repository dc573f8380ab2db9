// "Ethernet MAC": the MAC the device runs with must be its own; a device
// with the factory default gets a new one from the test server, written
// into its provisioning record.
#include "device/flash.h"
#include "device/mbfb.h"
#include "sequencer/station_flags.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"
#include "server/provisioning_record.h"
#include "server/server_client.h"

namespace {

namespace pv = provisioning;

constexpr std::uint64_t kMacMask = 0xFFFFFFFFFFFF;

// Six bytes, most significant first, "%02X" each, joined by points.
void appendMac(char (&details)[text::kDetailsSize], std::uint64_t mac) {
    for (int byte = 5; byte >= 0; --byte)
        text::appendFormat(details, byte > 0 ? "%02X." : "%02X", static_cast<unsigned>(mac >> (8 * byte) & 0xFF));
}

void report(TestContext* context, ResultState state, const char* text, std::uint64_t mac) {
    context->resultState = state;
    text::copy(context->details, text);
    appendMac(context->details, mac);
}

}  // namespace

std::int32_t ethernetMacStep(TestContext* context) {
    context->resultState = Passed;
    MbfbOperation read = MbfbOperation::read(pv::kMacRegister, 4, kMbfbBytes);
    if (const std::int32_t code = mbfbTransact(context->handle, 1, &read)) return failCommError(context, code);
    std::uint64_t mac = 0;
    for (int i = 2; i < 8; ++i) mac = mac << 8 | read.data[i];

    if (mac > pv::kDefaultMac && mac != pv::kBlankMac) {
        report(context, Passed, "MAC: ", mac);
    } else if (mac != pv::kDefaultMac) {
        report(context, Fatal, "MAC system failure: ", mac);
    } else if ((context->stationFlags & flags::kAssignMac) == 0) {
        report(context, Warning, "Default MAC: ", mac);
    } else if ((context->stationFlags & flags::kTestServer) == 0) {
        context->resultState = Fatal;
        text::copy(context->details, "Must Report to Update MAC");
    } else {
        std::uint64_t value = 0;
        if (!context->serverClient || context->serverClient->requestMac(value) != 0) {
            context->resultState = Fatal;
            text::copy(context->details, "Failed to get MAC from DQTS");
            return 0;
        }
        const std::uint64_t assigned = value & kMacMask;
        std::uint8_t field[8] = {};
        for (int i = 0; i < 6; ++i) field[2 + i] = static_cast<std::uint8_t>(assigned >> (8 * (5 - i)));
        const std::int32_t code = flashUpdate(context->handle, flash::kProvisioning.key,
                                              pv::kRecordAddress + pv::kMacFieldOffset, sizeof field, field);
        if (code != 0) {
            report(context, Fatal, "Write Failed: ", assigned);
        } else {
            report(context, Passed, "MAC Written: ", assigned);
        }
    }
    return 0;
}
