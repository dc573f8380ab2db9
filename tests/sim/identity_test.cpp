// What the station reads to identify a Z6: the identity registers and the
// recovery header of a factory-new flash, both from the scenario, and the
// fault scenarios that change them.
#include "sim_support.h"

#include "z6/factory_flash.h"
#include "z6/firmware_image.h"
#include "z6/scenario.h"
#include "z6/z6_registers.h"

#include <gtest/gtest.h>

namespace {

using sim_test::Feedback;
using sim_test::feedbackReply;

TEST(Z6Identity, RegistersAndTheFactoryRecoveryHeaderAnswerFromTheScenario) {
    z6::Scenario scenario;
    scenario.identity = {4.0f, 3, 1.5f, 1.0254f, 0.88f, 74, 0x40, 3.10f, 0.66f};
    platform::VirtualClock clock;
    z6::Z6Model model(scenario, clock);

    // 4.0, 1.5, 1.0254, 0.88, 3.10, options 3, chip 74, flags 0x40.
    EXPECT_EQ(sim_test::send(model, Feedback()
                                        .read(60000, 2)
                                        .read(60002, 2)
                                        .read(60004, 2)
                                        .read(60006, 2)
                                        .read(60008, 2)
                                        .read(60010, 2)
                                        .read(60040, 2)
                                        .read(60100, 2)
                                        .bytes()),
              feedbackReply("40 80 00 00 3F C0 00 00 3F 83 40 4F 3F 61 47 AE 40 46 66 66 00 00 00 03 "
                            "00 00 00 4A 00 00 00 40"));

    // The recovery header through the flash window: magic, recovery type, 0.66.
    const std::string header = sim_test::send(model, Feedback()
                                                         .writeU32(z6::reg::kFlashKey, 0x4F8D2C60)
                                                         .writeU32(z6::reg::kFlashReadPointer, 0x382000)
                                                         .read(z6::reg::kFlashReadData, 16)
                                                         .bytes());
    const std::size_t replyHeaderText = 8 * 3;
    EXPECT_EQ(header.substr(replyHeaderText, 12 * 3 - 1), "44 51 46 58 05 F5 FC 6D 3F 28 F5 C3");
    // Everything else of a factory-new flash is erased.
    EXPECT_EQ(model.flash().read(0x382000 + z6::kImageHeaderSize, 4), std::vector<std::uint8_t>(4, 0xFF));
    EXPECT_EQ(model.flash().read(0x3E0000, 4), std::vector<std::uint8_t>(4, 0xFF));
}

TEST(Z6Identity, EachFaultScenarioChangesOnlyWhatItNames) {
    const z6::Identity healthy = z6::loadScenario("healthy").identity;
    struct Case {
        const char* scenario;
        z6::Identity expected;
    } cases[] = {
        {"wrong-product-id", [&] { z6::Identity i = healthy; i.productId = 4.0f; return i; }()},
        {"firmware-too-old", [&] { z6::Identity i = healthy; i.firmwareVersion = 1.0254f; return i; }()},
        {"bootstrap-too-old", [&] { z6::Identity i = healthy; i.bootstrapVersion = 0.95f; i.flashChipId = 73; return i; }()},
        {"unknown-flash-chip", [&] { z6::Identity i = healthy; i.flashChipId = 99; i.flashFlags = 0x40; return i; }()},
        {"recovery-too-old", [&] { z6::Identity i = healthy; i.recoveryVersion = 0.66f; return i; }()},
        {"sd-card-not-mounted", [&] { z6::Identity i = healthy; i.options = 1; return i; }()},
    };
    for (const Case& c : cases) {
        const z6::Identity got = z6::loadScenario(c.scenario).identity;
        EXPECT_EQ(got.productId, c.expected.productId) << c.scenario;
        EXPECT_EQ(got.options, c.expected.options) << c.scenario;
        EXPECT_EQ(got.hardwareVersion, c.expected.hardwareVersion) << c.scenario;
        EXPECT_EQ(got.firmwareVersion, c.expected.firmwareVersion) << c.scenario;
        EXPECT_EQ(got.bootstrapVersion, c.expected.bootstrapVersion) << c.scenario;
        EXPECT_EQ(got.flashChipId, c.expected.flashChipId) << c.scenario;
        EXPECT_EQ(got.flashFlags, c.expected.flashFlags) << c.scenario;
        EXPECT_EQ(got.wifiVersion, c.expected.wifiVersion) << c.scenario;
        EXPECT_EQ(got.recoveryVersion, c.expected.recoveryVersion) << c.scenario;
    }
}

// The option bits (bit 0 Pro, bit 3 SD card mounted) and the firmware's
// diagnostic code, which the station only reads.
TEST(Z6Identity, OptionBitsAndTheDiagnosticCodeComeFromTheScenario) {
    struct Case {
        const char* scenario;
        const char* optionsAndCode;  // 60010 (U32), 60090 (U16)
    } const cases[] = {
        {"healthy", "00 00 00 00 00 00"},
        {"healthy-pro", "00 00 00 09 00 00"},
        {"sd-card-not-mounted", "00 00 00 01 00 00"},
        {"osc-failure", "00 00 00 00 0B 86"},
        {"diagnostic-code", "00 00 00 00 00 07"},
    };
    for (const Case& c : cases) {
        platform::VirtualClock clock;
        z6::Z6Model model(z6::loadScenario(c.scenario), clock);
        EXPECT_EQ(sim_test::send(model, Feedback().read(60010, 2).read(60090, 1).bytes()),
                  feedbackReply(c.optionsAndCode))
            << c.scenario;
        EXPECT_EQ(sim_test::send(model, Feedback().write(60090, {0, 0}).bytes()), sim_test::feedbackException(2, 0))
            << c.scenario;
    }
}

}  // namespace
