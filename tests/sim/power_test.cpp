// Restart and soft reset: the device leaves for a while, then boots again
// with the identity its provisioning record holds.
#include "sim_support.h"

#include "z6/z6_registers.h"

#include <gtest/gtest.h>

namespace {

using sim_test::Feedback;
using sim_test::feedbackReply;

class Z6Power : public ::testing::Test {
protected:
    std::string readIdentity() { return sim_test::send(model, Feedback().read(60028, 2).read(60020, 4).bytes()); }

    platform::VirtualClock clock;
    z6::Z6Model model{z6::Scenario{}, clock};
};

TEST_F(Z6Power, AFactoryNewDeviceRunsWithTheDefaultSerialAndMac) {
    EXPECT_EQ(readIdentity(), feedbackReply("1C 03 C8 90 00 00 0E 5D 71 00 20 00"));  // 470010000
}

TEST_F(Z6Power, RestartAnswersThenLeavesAndBootsWithTheRecordedIdentity) {
    // Serial 470010002 (least significant byte first) and MAC 0E.5D.71.00.01.23.
    model.flash().program(0x3C3000, sim_test::hex("08 BE E1 7D 00 00 00 00 92 C8 03 1C"));
    model.flash().program(0x3C3014, sim_test::hex("00 00 0E 5D 71 00 01 23"));
    EXPECT_EQ(readIdentity(), feedbackReply("1C 03 C8 90 00 00 0E 5D 71 00 20 00"));  // not until a boot

    EXPECT_EQ(sim_test::send(model, Feedback().writeU32(61996, 0x44510020).bytes()), feedbackReply(""));
    EXPECT_FALSE(model.available());
    EXPECT_EQ(sim_test::send(model, Feedback().read(60028, 2).bytes()), "");  // away: no answer
    clock.advanceMs(z6::kRestartAwayMs - 1);
    EXPECT_FALSE(model.available());
    clock.advanceMs(1);
    EXPECT_TRUE(model.available());
    EXPECT_EQ(model.boots(), 2u);
    EXPECT_EQ(readIdentity(), feedbackReply("1C 03 C8 92 00 00 0E 5D 71 00 01 23"));
}

TEST(Z6PowerRestart, AnOldBootLoaderStaysAwayLongerAfterARestart) {
    // The station waits 40 s below bootstrap 0.89 and 14 s from it on; the
    // device must be back within each.
    for (const auto& [bootstrap, awayMs] : {std::pair{0.88f, z6::kSlowRestartAwayMs},
                                            std::pair{0.89f, z6::kRestartAwayMs},
                                            std::pair{0.96f, z6::kRestartAwayMs}}) {
        platform::VirtualClock clock;
        z6::Scenario scenario;
        scenario.identity.bootstrapVersion = bootstrap;
        z6::Z6Model model(scenario, clock);
        EXPECT_EQ(sim_test::send(model, Feedback().writeU32(61996, 0x44510020).bytes()), feedbackReply(""));
        EXPECT_EQ(model.awayForMs(), awayMs) << bootstrap;
    }
    EXPECT_LT(z6::kSlowRestartAwayMs, 40000u);
    EXPECT_LT(z6::kRestartAwayMs, 14000u);
}

TEST_F(Z6Power, SoftResetIsShorterAndARestartNeedsItsKey) {
    EXPECT_EQ(sim_test::send(model, Feedback().writeU32(61996, 1).bytes()), sim_test::feedbackException(4, 2360));
    EXPECT_TRUE(model.available());

    EXPECT_EQ(sim_test::send(model, Feedback().writeU32(61994, 0).bytes()), feedbackReply(""));
    EXPECT_EQ(model.awayForMs(), z6::kSoftResetAwayMs);
    clock.advanceMs(z6::kSoftResetAwayMs);
    EXPECT_TRUE(model.available());
}

}  // namespace
