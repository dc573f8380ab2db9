// The test jig as the device reaches it: the memory exchange through
// registers 5100 and 5160, and the code on digital port 0.
#include "sim_support.h"

#include "z6/jig.h"

#include <gtest/gtest.h>

namespace {

using sim_test::Feedback;
using sim_test::feedbackException;
using sim_test::feedbackReply;
using sim_test::hex;
using sim_test::hexText;

// The set-up the station writes: lines 7 and 6, bus address 0x50, one byte
// sent (read address 0), 32 received.
const std::string kStationSetUp = "00 07 00 06 FF FF 00 00 00 50 00 00 00 00 00 00 00 01 00 20 00 00";

std::string exchange(z6::Z6Model& model, const std::string& setUp, std::uint8_t receive = 16) {
    return sim_test::send(model, Feedback().write(5100, hex(setUp)).read(5160, receive).bytes());
}

std::string recordText(const z6::JigSettings& jig) {
    const auto record = z6::Jig::record(jig);
    return hexText(std::vector<std::uint8_t>(record.begin(), record.end()));
}

TEST(Z6Jig, TheStationsExchangeReadsTheRecordWithTypeCodeAndBigEndianConstants) {
    platform::VirtualClock clock;
    z6::Scenario scenario;
    scenario.jig.code = 0x17;
    scenario.jig.type = 0x0106;
    scenario.jig.vmPlusRatio = 2.0f;      // 40 00 00 00
    scenario.jig.biasShuntOhms = -1.5f;   // BF C0 00 00
    z6::Z6Model model(scenario, clock);

    const std::string record = recordText(scenario.jig);
    EXPECT_EQ(record.substr(0, 3 * 8), "01 17 01 06 40 00 00 00 ");
    EXPECT_EQ(record.substr(3 * 28), "BF C0 00 00");
    EXPECT_EQ(exchange(model, kStationSetUp), feedbackReply(record));
}

TEST(Z6Jig, TheFirstByteSentIsTheReadAddressAndABlankMemoryReadsErased) {
    platform::VirtualClock clock;
    z6::Z6Model model(z6::Scenario{}, clock);
    // From address 4: constant 1 onwards, 8 bytes received.
    const std::string fromFour = "00 07 00 06 FF FF 00 00 00 50 00 00 00 00 00 00 00 01 00 08 04 00";
    EXPECT_EQ(exchange(model, fromFour, 4), feedbackReply(recordText(z6::Scenario{}.jig).substr(3 * 4, 3 * 8 - 1)));

    z6::Scenario blank;
    blank.jig.memoryBlank = true;
    z6::Z6Model blankModel(blank, clock);
    EXPECT_EQ(exchange(blankModel, kStationSetUp, 2), feedbackReply("FF FF FF FF"));
}

TEST(Z6Jig, ExchangesThatNothingAnswersOrThatAreMalformedFail) {
    struct Case {
        const char* what;
        bool jigPresent;
        std::string setUp;
        std::uint16_t deviceError;
    } cases[] = {
        {"no jig", false, kStationSetUp, 2383},
        {"another bus address", true, "00 07 00 06 FF FF 00 00 00 51 00 00 00 00 00 00 00 01 00 20 00 00", 2383},
        {"lines swapped", true, "00 06 00 07 FF FF 00 00 00 50 00 00 00 00 00 00 00 01 00 20 00 00", 2383},
        {"33 bytes to receive", true, "00 07 00 06 FF FF 00 00 00 50 00 00 00 00 00 00 00 01 00 21 00 00", 2382},
        {"more to send than given", true, "00 07 00 06 FF FF 00 00 00 50 00 00 00 00 00 00 00 03 00 20 00 00", 2382},
    };
    for (const Case& c : cases) {
        platform::VirtualClock clock;
        z6::Scenario scenario;
        scenario.jig.present = c.jigPresent;
        z6::Z6Model model(scenario, clock);
        EXPECT_EQ(exchange(model, c.setUp), feedbackException(4, c.deviceError)) << c.what;
        // The bytes received stay as they were.
        EXPECT_EQ(model.registers().raw(5160), std::vector<std::uint8_t>(32, 0)) << c.what;
    }
}

TEST(Z6Jig, Port0ReadsTheWiredCodeOnLines0To4AndHighElsewhere) {
    struct Case {
        bool present;
        std::uint32_t wiredCode;
        const char* port0;
    } cases[] = {
        {true, 3, "00 E3"},
        {true, 0, "00 E0"},
        {true, 31, "00 FF"},
        {false, 3, "00 FF"},  // every input open
    };
    for (const Case& c : cases) {
        platform::VirtualClock clock;
        z6::Scenario scenario;
        scenario.jig.present = c.present;
        scenario.jig.wiredCode = c.wiredCode;
        z6::Z6Model model(scenario, clock);
        EXPECT_EQ(sim_test::send(model, Feedback().read(2500, 1).bytes()), feedbackReply(c.port0)) << c.wiredCode;
    }
}

}  // namespace
