// The Z6 model on the wire: request bytes in, reply bytes out.
#include "sim_support.h"

#include "z6/z6_registers.h"

#include <gtest/gtest.h>

namespace {

using sim_test::hex;
using sim_test::hexText;

class Z6Wire : public ::testing::Test {
protected:
    std::string send(std::string_view request) { return sim_test::send(model, hex(request)); }

    platform::VirtualClock clock;
    z6::Z6Model model{z6::Scenario{}, clock};
};

TEST_F(Z6Wire, FeedbackRunsFramesInOrderAndAnswersWithEveryReadInOrder) {
    EXPECT_EQ(send("12 34 00 00 00 1C 01 4C"
                   " 01 13 7E 02 00 00 01 2C"   // write 4990 = 300
                   " 00 13 7E 02"               // read 4990
                   " 01 BB 83 01 00 07"         // write 48003 = 7
                   " 00 EA 60 02"               // read 60000, the product id
                   " 00 BB 83 01"),             // read 48003
              "12 34 00 00 00 0C 01 4C"
              " 00 00 01 2C"
              " 40 E0 00 00"
              " 00 07");
}

TEST_F(Z6Wire, FeedbackWithNoFramesGetsTheBareHeaderBack) {
    EXPECT_EQ(send("00 07 00 00 00 02 FF 4C"), "00 07 00 00 00 02 FF 4C");
}

TEST_F(Z6Wire, ReadHoldingRegistersSpansConsecutiveBlocks) {
    // Product id 7.0, hardware 1.30, firmware 1.03, bootstrap 0.96.
    EXPECT_EQ(send("00 01 00 00 00 06 01 03 EA 60 00 08"),
              "00 01 00 00 00 13 01 03 10 40 E0 00 00 3F A6 66 66 3F 83 D7 0A 3F 75 C2 8F");
    // Reads may take part of a 32-bit value.
    EXPECT_EQ(send("00 02 00 00 00 06 01 03 EA 60 00 01"), "00 02 00 00 00 05 01 03 02 40 E0");
}

TEST_F(Z6Wire, WriteMultipleRegistersThenReadThemBack) {
    EXPECT_EQ(send("00 02 00 00 00 0D 01 10 BB 83 00 03 06 00 01 00 02 00 03"),
              "00 02 00 00 00 06 01 10 BB 83 00 03");
    EXPECT_EQ(send("00 03 00 00 00 06 01 03 BB 83 00 03"), "00 03 00 00 00 09 01 03 06 00 01 00 02 00 03");
    EXPECT_EQ(model.registers().getU16(48005), 3);
}

// Each function-76 case starts with a good write of 300 to 4990, which must
// not happen: the whole request is checked before anything runs.
TEST_F(Z6Wire, MalformedRequestsAreAnsweredWithAnExceptionAndChangeNothing) {
    struct Case {
        const char* what;
        const char* request;
        const char* reply;
    } cases[] = {
        {"fewer than 8 bytes", "00 09 00 00 00 01 01", "00 09 00 00 00 03 01 80 03"},
        {"protocol id not 0", "00 09 00 01 00 0A 01 4C 01 13 7E 02 00 00 01 2C", "00 09 00 00 00 05 01 CC 03 00 00"},
        {"length field larger than the request", "00 09 00 00 00 0B 01 4C 01 13 7E 02 00 00 01 2C",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"length field smaller than the request", "00 09 00 00 00 09 01 4C 01 13 7E 02 00 00 01 2C",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"frame header cut short", "00 09 00 00 00 0D 01 4C 01 13 7E 02 00 00 01 2C 00 13 7E",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"write data cut short", "00 09 00 00 00 10 01 4C 01 13 7E 02 00 00 01 2C 01 BB 83 02 00 01",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"frame neither read nor write", "00 09 00 00 00 0E 01 4C 01 13 7E 02 00 00 01 2C 02 13 7E 02",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"count 0", "00 09 00 00 00 0E 01 4C 01 13 7E 02 00 00 01 2C 00 13 7E 00", "00 09 00 00 00 05 01 CC 03 00 00"},
        {"range past register 65535", "00 09 00 00 00 0E 01 4C 01 13 7E 02 00 00 01 2C 00 FF FF 02",
         "00 09 00 00 00 05 01 CC 02 00 00"},
        {"unknown register", "00 09 00 00 00 0E 01 4C 01 13 7E 02 00 00 01 2C 00 00 64 01",
         "00 09 00 00 00 05 01 CC 02 00 00"},
        {"gap inside a read", "00 09 00 00 00 0E 01 4C 01 13 7E 02 00 00 01 2C 00 EA 6A 04",
         "00 09 00 00 00 05 01 CC 02 00 00"},
        {"read of the write-only program block", "00 09 00 00 00 0E 01 4C 01 13 7E 02 00 00 01 2C 00 F1 86 03",
         "00 09 00 00 00 05 01 CC 02 00 00"},
        {"write to the read-only product id", "00 09 00 00 00 12 01 4C 01 13 7E 02 00 00 01 2C 01 EA 60 02 40 E0 00 00",
         "00 09 00 00 00 05 01 CC 02 00 00"},
        {"write of half the flash key", "00 09 00 00 00 10 01 4C 01 13 7E 02 00 00 01 2C 01 F1 68 01 00 00",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"write starting inside the flash key", "00 09 00 00 00 12 01 4C 01 13 7E 02 00 00 01 2C 01 F1 69 02 00 00 00 00",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"program starting inside its block",
         "00 09 00 00 00 14 01 4C 01 13 7E 02 00 00 01 2C 01 F1 87 03 00 3C 60 00 00 00",
         "00 09 00 00 00 05 01 CC 03 00 00"},
        {"program with an address but no data",
         "00 09 00 00 00 12 01 4C 01 13 7E 02 00 00 01 2C 01 F1 86 02 00 3C 60 00", "00 09 00 00 00 05 01 CC 03 00 00"},
        {"unknown function", "00 09 00 00 00 02 01 2B", "00 09 00 00 00 03 01 AB 01"},
        {"function 3, count 0", "00 09 00 00 00 06 01 03 13 7E 00 00", "00 09 00 00 00 03 01 83 03"},
        {"function 3, count 126", "00 09 00 00 00 06 01 03 13 7E 00 7E", "00 09 00 00 00 03 01 83 03"},
        {"function 3, range past register 65535", "00 09 00 00 00 06 01 03 FF FF 00 02", "00 09 00 00 00 03 01 83 02"},
        {"function 3, a byte too many", "00 09 00 00 00 07 01 03 13 7E 00 02 00", "00 09 00 00 00 03 01 83 03"},
        {"function 16, count 0", "00 09 00 00 00 07 01 10 13 7E 00 00 00", "00 09 00 00 00 03 01 90 03"},
        {"function 16, byte count not twice the count", "00 09 00 00 00 0A 01 10 13 7E 00 02 03 00 01 2C",
         "00 09 00 00 00 03 01 90 03"},
        {"function 16, data shorter than the byte count", "00 09 00 00 00 0A 01 10 13 7E 00 02 04 00 01 2C",
         "00 09 00 00 00 03 01 90 03"},
        {"function 16, half of 4990", "00 09 00 00 00 09 01 10 13 7E 00 01 02 01 2C", "00 09 00 00 00 03 01 90 03"},
        {"function 16, read-only register", "00 09 00 00 00 0B 01 10 EA 60 00 02 04 40 E0 00 00",
         "00 09 00 00 00 03 01 90 02"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(send(c.request), c.reply) << c.what;
        EXPECT_EQ(model.registers().getU32(4990), 0u) << c.what;
        EXPECT_EQ(model.registers().getF32(z6::reg::kProductId), 7.0f) << c.what;
    }
}

TEST_F(Z6Wire, NoRequestAtAllIsAnsweredToo) {
    EXPECT_EQ(hexText(model.handleRequest(nullptr, 0)), "00 00 00 00 00 03 00 80 03");
    EXPECT_EQ(hexText(model.handleRequest(nullptr, 12)), "00 00 00 00 00 03 00 80 03");
}

TEST_F(Z6Wire, FeedbackWhoseReplyWouldOverflowTheLengthFieldIsRefused) {
    // 4095 reads of the four identity floats: unit id, function code and
    // 65520 bytes of data make a length field of 0xFFF2. One more read
    // would not fit in 16 bits.
    sim_test::Feedback largest;
    for (int i = 0; i < 4095; ++i) largest.read(z6::reg::kProductId, 8);
    const std::vector<std::uint8_t> request = largest.bytes();
    const std::vector<std::uint8_t> reply = model.handleRequest(request.data(), request.size());
    ASSERT_EQ(reply.size(), 8u + 65520u);
    EXPECT_EQ(hexText({reply.begin(), reply.begin() + 12}), "00 01 00 00 FF F2 01 4C 40 E0 00 00");

    sim_test::Feedback tooLarge = largest;
    tooLarge.read(z6::reg::kProductId, 8);
    EXPECT_EQ(sim_test::send(model, tooLarge.bytes()), sim_test::feedbackException(3, 0));
}

}  // namespace
