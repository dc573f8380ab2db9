// The digital lines as the station's jig and short tests reach them: port
// registers with their direction and write-inhibit masks, lines alone, the
// jig's loops and the shorts of the fault scenarios.
#include "sim_support.h"

#include "z6/scenario.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using sim_test::Feedback;
using sim_test::wordsRead;

constexpr std::uint16_t kPortWidth[] = {0xFF, 0xFF, 0x0F, 0x07};

// The four port states of one read of 2500 to 2503 as a 23-bit line mask.
std::uint32_t lineMask(const std::vector<std::uint16_t>& ports) {
    if (ports.size() != 4) {
        ADD_FAILURE() << ports.size() << " words";
        return 0;
    }
    return ports[0] | ports[1] << 8 | ports[2] << 16 | static_cast<std::uint32_t>(ports[3]) << 20;
}

std::uint32_t readLines(z6::Z6Model& model, Feedback request = {}) {
    return lineMask(wordsRead(model, request.read(2500, 4)));
}

class Z6DigitalLines : public ::testing::Test {
protected:
    z6::Z6Model& device(const std::string& scenario) {
        model_ = std::make_unique<z6::Z6Model>(z6::loadScenario(scenario), clock_);
        return *model_;
    }
    platform::VirtualClock clock_;
    std::unique_ptr<z6::Z6Model> model_;
};

// The station's jig patterns: states to 2501-2503, directions to 2601-2603,
// then ports 1 to 3 read back as port3 << 16 | port2 << 8 | port1.
struct JigPattern {
    std::uint16_t state[3];
    std::uint16_t direction[3];
    std::uint32_t expected;
};
constexpr JigPattern kJigPatterns[] = {
    {{0, 0, 0}, {0, 0, 0}, 0x070F7F},
    {{0, 0, 0}, {0x15, 0x05, 0x07}, 0x000040},
    {{0x15, 0x05, 0}, {0x15, 0x05, 0x01}, 0x000F7F},
    {{0, 0, 0}, {0x2A, 0x0A, 0x07}, 0x000040},
    {{0x2A, 0x0A, 0}, {0x2A, 0x0A, 0x02}, 0x000F7F},
    {{0, 0, 0}, {0, 0, 0x07}, 0x000F7F},
    {{0, 0, 0}, {0, 0, 0x04}, 0x000F7F},
    {{0, 0, 0}, {0, 0, 0}, 0x070F7F},
};

std::uint32_t jigPatternRead(z6::Z6Model& model, const JigPattern& row) {
    Feedback request;
    for (int p = 0; p < 3; ++p) request.writeU16(static_cast<std::uint16_t>(2501 + p), row.state[p]);
    for (int p = 0; p < 3; ++p) request.writeU16(static_cast<std::uint16_t>(2601 + p), row.direction[p]);
    const std::vector<std::uint16_t> ports = wordsRead(model, request.read(2500, 4));
    if (ports.size() != 4) return 0xFFFFFFFF;
    return static_cast<std::uint32_t>(ports[3]) << 16 | ports[2] << 8 | ports[1];
}

TEST_F(Z6DigitalLines, EveryJigPatternReadsBackThroughTheJigsLoops) {
    z6::Z6Model& model = device("healthy");
    for (std::size_t row = 0; row < std::size(kJigPatterns); ++row) {
        EXPECT_EQ(jigPatternRead(model, kJigPatterns[row]), kJigPatterns[row].expected) << "row " << row;
    }
    // E0 shorted to the supply holds up E1, which row 1 drives low.
    EXPECT_EQ(jigPatternRead(device("dio-jig-line-stuck-high"), kJigPatterns[1]), 0x000043u);
}

TEST_F(Z6DigitalLines, WithoutAJigInputsReadHighAndALineDrivenLowReadsLowAlone) {
    z6::Z6Model& model = device("healthy-no-jig");
    EXPECT_EQ(readLines(model), 0x7FFFFFu);
    for (int line = 0; line < 23; ++line) {
        // The short test's read: every direction cleared in one write, then one line low.
        const Feedback request = Feedback()
                                     .write(2600, std::vector<std::uint8_t>(8, 0))
                                     .writeU16(static_cast<std::uint16_t>(2000 + line), 0);
        EXPECT_EQ(readLines(model, request), 0x7FFFFFu & ~(1u << line)) << "line " << line;
    }
}

// Each case is one request on a device without a jig: writes in order, then reads.
TEST_F(Z6DigitalLines, PortWritesHonourTheInhibitMaskAndTheirWidthLineWritesDoNot) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::uint16_t, std::uint16_t>> writes;
        std::vector<std::uint16_t> reads;
        std::vector<std::uint16_t> expected;
    } const cases[] = {
        {"a mask written earlier in the request holds its lines' direction",
         {{2701, 0x0F}, {2601, 0xFF}, {2501, 0x00}},
         {2701, 2601, 2501},
         {0x0F, 0xF0, 0x0F}},
        {"masked lines keep their latch",
         {{2601, 0xFF}, {2501, 0xFF}, {2701, 0x01}, {2501, 0x00}},
         {2501},
         {0x01}},
        {"a line written alone ignores the mask: 0 drives low, any other value high",
         {{2701, 0xFF}, {2008, 0}, {2015, 0x1234}},
         {2601, 2501, 2008, 2015},
         {0x81, 0xFE, 0, 1}},
        {"inputs read high whatever their latch", {{2601, 0}, {2501, 0}}, {2501, 2009}, {0xFF, 1}},
        {"a port takes only its own lines",
         {{2602, 0xFFFF}, {2502, 0}, {2703, 0xFFFF}, {2603, 0xFFFF}},
         {2602, 2502, 2603, 2503, 2703},
         {0x0F, 0x00, 0x00, 0x07, 0x07}},
    };
    for (const Case& c : cases) {
        z6::Z6Model& model = device("healthy-no-jig");
        Feedback request;
        for (const auto& [address, value] : c.writes) request.writeU16(address, value);
        for (std::uint16_t address : c.reads) request.read(address, 1);
        EXPECT_EQ(wordsRead(model, request), c.expected) << c.what;
    }
}

TEST_F(Z6DigitalLines, ABootMakesEveryLineAnInputAgainWithNothingInhibited) {
    z6::Z6Model& model = device("healthy-no-jig");
    Feedback setUp;
    for (std::uint16_t p = 0; p < 4; ++p) {
        setUp.writeU16(2600 + p, 0xFF).writeU16(2500 + p, 0x55).writeU16(2700 + p, 0xFF);
    }
    ASSERT_EQ(readLines(model, setUp), 0x555555u);

    ASSERT_EQ(wordsRead(model, Feedback().writeU32(61994, 0)), std::vector<std::uint16_t>{});  // soft reset
    clock_.advanceMs(z6::kSoftResetAwayMs);
    ASSERT_TRUE(model.available());
    EXPECT_EQ(wordsRead(model, Feedback().read(2600, 4).read(2700, 4)), std::vector<std::uint16_t>(8, 0));
    EXPECT_EQ(readLines(model), 0x7FFFFFu);
    // Made outputs again, the lines drive their cleared latches.
    EXPECT_EQ(readLines(model, Feedback().write(2600, sim_test::hex("00 FF 00 FF 00 0F 00 07"))), 0u);
}

TEST_F(Z6DigitalLines, ShortedPinsPullTheirWholeNet) {
    // Every line an output driving low or high, or every line an input.
    const Feedback allLow = Feedback()
                                .write(2600, sim_test::hex("00 FF 00 FF 00 0F 00 07"))
                                .write(2500, std::vector<std::uint8_t>(8, 0));
    const Feedback allHigh = Feedback(allLow).write(2500, sim_test::hex("00 FF 00 FF 00 0F 00 07"));
    const Feedback allInputs = Feedback().write(2600, std::vector<std::uint8_t>(8, 0));
    struct Case {
        const char* scenario;
        Feedback request;
        std::uint32_t expected;
    } const cases[] = {
        {"dio-line-stuck-low", allInputs, 0x7FFDFF},
        {"dio-line-stuck-low", allHigh, 0x7FFDFF},
        {"dio-line-stuck-high", allLow, 0x000200},
        {"dio-lines-shorted", Feedback(allInputs).writeU16(2003, 0), 0x7FFFE7},
        {"dio-lines-shorted", Feedback(allInputs).writeU16(2004, 0), 0x7FFFE7},
        {"dio-lines-shorted", Feedback(allInputs).writeU16(2005, 0), 0x7FFFDF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readLines(device(c.scenario), c.request), c.expected) << c.scenario;
    }

    // Shorted to ground beats shorted to the supply on one net.
    z6::Scenario both = z6::loadScenario("healthy-no-jig");
    both.faults.dioStuckHigh = 1u << 12;
    both.faults.dioStuckLow = 1u << 13;
    both.faults.dioShorted = 3u << 12;
    z6::Z6Model model(both, clock_);
    EXPECT_EQ(readLines(model, allInputs), 0x7FCFFFu);
}

// The station's walking-bit check of one port without a jig: the steps
// whose state reads back wrong.
std::vector<std::string> walkingBitFailures(z6::Z6Model& model, std::uint16_t port) {
    const std::uint16_t width = kPortWidth[port];
    const auto send = [&](Feedback request) { wordsRead(model, request); };
    const auto transaction = [&](std::uint16_t inhibit, std::uint16_t direction, std::uint16_t state) {
        send(Feedback().writeU16(2700 + port, inhibit).writeU16(2600 + port, direction).writeU16(2500 + port, state));
    };
    const auto x = [&] { transaction(0, 0, 0); };
    const auto y = [&] { transaction(0, 255, 255); };
    const auto z = [&] { transaction(0, 255, 0); };
    const auto state = [&] {
        const std::vector<std::uint16_t> words = wordsRead(model, Feedback().read(2600 + port, 1).read(2500 + port, 1));
        return words.size() == 2 ? words[1] : 0xFFFF;
    };

    std::vector<std::string> failures;
    for (int n = 0; n < 20; ++n) {
        const int k = n % 10;
        const auto bit = static_cast<std::uint16_t>(k == 0 ? 0 : 1 << (k - 1));
        const std::uint16_t g = n < 10 ? 0 : 255;
        const auto expected = static_cast<std::uint16_t>((g == 0 ? bit : ~bit) & width);
        const auto others = static_cast<std::uint16_t>(~bit & 0xFF);
        const std::string step = "port " + std::to_string(port) + " n " + std::to_string(n);

        z();
        n < 10 ? z() : y();
        send(Feedback().writeU16(2700 + port, others).writeU16(2500 + port, static_cast<std::uint16_t>(~g & 0xFF)));
        if (state() != expected) failures.push_back(step + " latch");

        n < 10 ? z() : x();
        send(Feedback().writeU16(2700 + port, others).writeU16(2600 + port, g));
        if (state() != expected) failures.push_back(step + " direction");
    }
    return failures;
}

TEST_F(Z6DigitalLines, TheWalkingBitCheckPassesOnAGoodDeviceAndFindsEachShortedPin) {
    struct Case {
        const char* scenario;
        std::set<std::uint16_t> failingPorts;
    } const cases[] = {
        {"healthy-no-jig", {}},
        {"dio-line-stuck-high", {1}},
        {"dio-line-stuck-low", {1}},
        {"dio-lines-shorted", {0}},
    };
    for (const Case& c : cases) {
        z6::Z6Model& model = device(c.scenario);
        std::set<std::uint16_t> failing;
        for (std::uint16_t port = 0; port < 4; ++port) {
            const std::vector<std::string> failures = walkingBitFailures(model, port);
            if (!failures.empty()) failing.insert(port);
            if (c.failingPorts.empty()) {
                EXPECT_EQ(failures, std::vector<std::string>{}) << c.scenario;
            }
        }
        EXPECT_EQ(failing, c.failingPorts) << c.scenario;
    }
}

}  // namespace
