// Typed register helpers and analog-input set-up, on the wire.
#include "device/device_codes.h"
#include "device/registers.h"
#include "support/scripted_device.h"

#include <gtest/gtest.h>

namespace {

using testing_support::ScriptedDevice;

TEST(ConfigureAin, FourWritesInOrderInOneRequest) {
    ScriptedDevice device;
    device.expectFeedback(
        "01 9C 4A 02 41 1E 66 66"   // 40010 range 9.9 (single precision)
        "01 A2 21 01 00 08"         // 41505 resolution index 8
        "01 A4 1A 02 44 7A 00 00"   // 42010 settling 1000.0
        "01 A0 2D 01 00 C7");       // 41005 negative channel 199
    EXPECT_EQ(configureAin(device.handle(), 5, 0, 8, 199, 1000), 0);
}

TEST(ConfigureAin, RangeValuesAndRefusedIndexes) {
    ScriptedDevice device;
    device.expectFeedback("01 9C 50 02 3F 66 66 66  01 A2 24 01 00 08  01 A4 20 02 42 C8 00 00  01 A0 30 01 00 09");
    EXPECT_EQ(configureAin(device.handle(), 8, 1, 8, 9, 100), 0);  // 0.9, the self-diagnostic's channel
    for (int index : {-1, 4, 100}) EXPECT_EQ(configureAin(device.handle(), 0, index, 0, 199, 0), device::kBadRangeIndex);
}

TEST(RegisterHelpers, WritesOnTheWire) {
    ScriptedDevice device;
    device.expectFeedback("01 F2 2C 02 80 00 00 00");  // 61996, 2^31 unchanged
    device.expectFeedback("01 F2 2A 02 FF FF FF FE");  // 61994
    device.expectFeedback("01 BB 85 01 00 01");        // 48005 = 1
    device.expectFeedback("01 07 D5 01 00 01");        // 2005 = 1
    device.expectFeedback("01 07 D5 01 00 00");        // 2005 = 0
    device.expectFeedback("01 75 3E 02 BF C0 00 00");  // 30014 = -1.5
    EXPECT_EQ(writeU32(device.handle(), 61996, 0x80000000u), 0);
    EXPECT_EQ(writeU32(device.handle(), 61994, 0xFFFFFFFEu), 0);
    EXPECT_EQ(writeU16(device.handle(), 48005, 1), 0);
    EXPECT_EQ(writeReg2005(device.handle(), 1), 0);
    EXPECT_EQ(writeReg2005(device.handle(), 0), 0);
    EXPECT_EQ(writeF32(device.handle(), 30014, -1.5f), 0);
}

TEST(RegisterHelpers, Reads) {
    ScriptedDevice device;
    device.expectFeedback("00 00 1E 02", "40 93 33 33");              // readF32(30)
    device.expectFeedback("00 C3 60 02", "FF FF FF FF");              // readAddressU32(50016)
    device.expect(testing_support::feedbackMessage("00 C3 60 02"),
                  testing_support::hex("00 00 00 00 00 05 00 CC 02 00 00"));  // illegal address
    float value = 0.0f;
    ASSERT_EQ(readF32(device.handle(), 30, &value), 0);
    EXPECT_EQ(value, 4.6f);

    std::uint32_t word = 0;
    ASSERT_EQ(readAddressU32(device.handle(), 50016, &word), 0);
    EXPECT_EQ(word, 0xFFFFFFFFu);
    word = 17;
    EXPECT_EQ(readAddressU32(device.handle(), 50016, &word), DQM_ERR_ILLEGAL_ADDRESS);
    EXPECT_EQ(word, 17u);
}

TEST(RegisterHelpers, AbsoluteValues) {
    EXPECT_EQ(absF32(-0.25f), 0.25f);
    EXPECT_EQ(absF64(-1e-9), 1e-9);
    EXPECT_EQ(absF64(3.0), 3.0);
}

}  // namespace
