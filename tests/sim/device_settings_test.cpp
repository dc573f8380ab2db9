// What the Z6 keeps for its user (start-up settings, name) and its clock.
#include "sim_support.h"

#include "z6/z6_registers.h"

#include <gtest/gtest.h>

namespace {

using sim_test::Feedback;
using sim_test::feedbackException;
using sim_test::feedbackReply;

TEST(Z6StoredSettings, TheFactoryKeyRestoresTheStartupSettingsAndAnyOtherKeyIsRefused) {
    platform::VirtualClock clock;
    z6::Scenario scenario;
    scenario.settings.factoryStartup = false;
    z6::Z6Model model(scenario, clock);
    const auto indicator = [&] { return sim_test::send(model, Feedback().read(49000, 2).bytes()); };
    EXPECT_EQ(indicator(), feedbackReply("00 00 00 00"));

    EXPECT_EQ(sim_test::send(model, Feedback().writeU32(49004, 0x5A3B81F3).bytes()), feedbackException(4, 2384));
    EXPECT_EQ(indicator(), feedbackReply("00 00 00 00"));
    EXPECT_EQ(sim_test::send(model, Feedback().writeU32(49004, 0x5A3B81F2).bytes()), feedbackReply(""));
    EXPECT_EQ(indicator(), feedbackReply("00 00 00 01"));
}

TEST(Z6StoredSettings, NameAndStartupSettingsSurviveASavedDevice) {
    sim_test::TempDir dir;
    platform::VirtualClock clock;
    z6::Scenario scenario;
    scenario.settings.factoryStartup = false;
    {
        z6::Z6Model model(scenario, clock);
        std::vector<std::uint8_t> name(40, 0);
        const std::string text = "My_Z6_0042";
        std::copy(text.begin(), text.end(), name.begin());
        EXPECT_EQ(sim_test::send(model, Feedback().write(60500, name).bytes()), feedbackReply(""));
        sim_test::send(model, Feedback().writeU32(49004, 0x5A3B81F2).bytes());
        model.saveState(dir.path());
    }
    z6::Z6Model model(scenario, clock);
    EXPECT_EQ(model.registers().getU32(49000), 0u) << "the scenario's value until the state is loaded";
    model.loadState(dir.path());
    EXPECT_EQ(model.registers().getU32(49000), 1u);
    const std::vector<std::uint8_t> stored = model.registers().raw(60500);
    EXPECT_EQ(std::string(stored.begin(), stored.begin() + 10), "My_Z6_0042");
    EXPECT_EQ(stored[10], 0);
}

TEST(Z6Clock, AProClockRunsWithTheSimulatorKeepsItsTimeThroughAResetAndCanBeSet) {
    platform::VirtualClock clock;
    z6::Scenario scenario;
    scenario.identity.options = 1;
    scenario.clock.offsetSeconds = -3;
    z6::Z6Model model(scenario, clock);
    const auto start = static_cast<std::uint32_t>(clock.calendarSeconds());
    EXPECT_EQ(model.deviceClock().seconds(), start - 3);
    clock.advanceMs(10'000);
    EXPECT_EQ(model.deviceClock().seconds(), start + 7);

    sim_test::send(model, Feedback().writeU32(61994, 0).bytes());  // soft reset
    clock.advanceMs(z6::kSoftResetAwayMs);
    ASSERT_TRUE(model.available());
    EXPECT_EQ(model.deviceClock().seconds(), start + 9);

    EXPECT_EQ(sim_test::send(model, Feedback().writeU32(61504, start + 100).bytes()), feedbackReply(""));
    clock.advanceMs(1'000);
    EXPECT_EQ(sim_test::send(model, Feedback().read(61500, 2).bytes()),
              feedbackReply(sim_test::hexText(sim_test::u32Bytes(start + 101))));
}

TEST(Z6Clock, WithoutTheProOptionTheClockCountsFromBoot) {
    platform::VirtualClock clock;
    z6::Z6Model model(z6::Scenario{}, clock);
    clock.advanceMs(5'000);
    EXPECT_EQ(model.deviceClock().seconds(), 5u);
    sim_test::send(model, Feedback().writeU32(61994, 0).bytes());
    clock.advanceMs(z6::kSoftResetAwayMs);
    ASSERT_TRUE(model.available());
    EXPECT_EQ(model.deviceClock().seconds(), 0u);
}

}  // namespace
