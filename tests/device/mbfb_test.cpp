// Modbus-feedback requests as they go on the wire, and their replies decoded.
#include "device/device_codes.h"
#include "device/mbfb.h"
#include "support/scripted_device.h"

#include "DaqoraM.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testing_support::ScriptedDevice;

TEST(MbfbTransact, EmptyTransactionIsTheHeaderWithLength2) {
    ScriptedDevice device;
    device.expect(testing_support::hex("00 00 00 00 00 02 00 4C"), testing_support::hex("00 00 00 00 00 02 00 4C"));
    EXPECT_EQ(mbfbTransact(device.handle(), 0, nullptr), 0);
}

TEST(MbfbTransact, ReadsOneU16) {
    ScriptedDevice device;
    device.expectFeedback("00 EA BA 01", "0B 86");  // 60090
    MbfbOperation op = MbfbOperation::read(60090, 1, kMbfbU16);
    ASSERT_EQ(mbfbTransact(device.handle(), 1, &op), 0);
    EXPECT_EQ(op.u16(), 2950);
}

TEST(MbfbTransact, WritesOneFloat) {
    ScriptedDevice device;
    device.expect(testing_support::hex("00 00 00 00 00 0A 00 4C  01 75 3E 02  00 00 00 00"),
                  testing_support::feedbackMessage(""));
    MbfbOperation op(30014, 2, kMbfbF32, 0.0);
    EXPECT_EQ(mbfbTransact(device.handle(), 1, &op), 0);
}

TEST(MbfbTransact, TwoU32ReadsUseEightReplyBytes) {
    ScriptedDevice device;
    device.expectFeedback("00 EA 60 02  00 EA 6A 02", "40 E0 00 00  00 00 00 03");
    MbfbOperation ops[] = {MbfbOperation::read(60000, 2, kMbfbU32), MbfbOperation::read(60010, 2, kMbfbU32)};
    ASSERT_EQ(mbfbTransact(device.handle(), 2, ops), 0);
    EXPECT_EQ(ops[0].u32(), 0x40E00000u);
    EXPECT_EQ(ops[0].f32(), 7.0f);  // the same bits seen as a float
    EXPECT_EQ(ops[1].u32(), 3u);
}

TEST(MbfbTransact, WriteWithoutDataSendsZeros) {
    ScriptedDevice device;
    device.expectFeedback("01 03 E8 03  00 00 00 00 00 00");
    MbfbOperation op(1000, 3, kMbfbNoData, 12345.0);
    EXPECT_EQ(mbfbTransact(device.handle(), 1, &op), 0);
}

TEST(MbfbTransact, MixedOperationsRunInOrderAndReadsDecodeInOrder) {
    ScriptedDevice device;
    const std::uint8_t raw[] = {0xDE, 0xAD, 0xBE, 0xEF};
    device.expectFeedback(
        "01 0F A0 01 12 34"        // write u16 4000
        "00 9C 40 02"              // read float 40000
        "01 F1 6E 02 80 00 00 00"  // write u32 61806 = 2^31
        "00 F1 74 02"              // read bytes 61812
        "01 07 D0 02 DE AD BE EF"  // write bytes 2000
        "00 07 D5 03",             // read three u16 at 2005
        "41 1E 66 66  01 02 03 04  00 01 00 02 FF FF");
    MbfbOperation ops[] = {
        {4000, 1, kMbfbU16, 0x1234},
        MbfbOperation::read(40000, 2, kMbfbF32),
        {61806, 2, kMbfbU32, 2147483648.0},
        MbfbOperation::read(61812, 2, kMbfbBytes),
        {2000, 2, raw},
        MbfbOperation::read(2005, 3, kMbfbU16),
    };
    ASSERT_EQ(mbfbTransact(device.handle(), 6, ops), 0);
    EXPECT_EQ(ops[1].f32(), 9.9f);
    EXPECT_EQ(ops[3].data[0], 0x01);
    EXPECT_EQ(ops[3].data[3], 0x04);
    EXPECT_EQ(ops[5].u16(0), 1);
    EXPECT_EQ(ops[5].u16(1), 2);
    EXPECT_EQ(ops[5].u16(2), 0xFFFF);
}

TEST(MbfbTransact, OddCountOf32BitValuesKeepsLaterReadsInStep) {
    ScriptedDevice device;
    device.expectFeedback("00 00 64 03  00 00 C8 01", "00 00 00 07 AA BB  12 34");
    MbfbOperation ops[] = {MbfbOperation::read(100, 3, kMbfbU32), MbfbOperation::read(200, 1, kMbfbU16)};
    ASSERT_EQ(mbfbTransact(device.handle(), 2, ops), 0);
    EXPECT_EQ(ops[0].u32(0), 7u);
    EXPECT_EQ(ops[1].u16(), 0x1234);
}

TEST(MbfbTransact, LibraryFailureIsReturnedUnchangedAndReadsKeepTheirValues) {
    ScriptedDevice device;
    device.expectFailure(testing_support::feedbackMessage("00 EA 60 02"), DQM_ERR_TIMEOUT);
    MbfbOperation op = MbfbOperation::read(60000, 2, kMbfbU32);
    const std::uint32_t before = 0xCAFEF00D;
    std::memcpy(op.data, &before, sizeof before);
    EXPECT_EQ(mbfbTransact(device.handle(), 1, &op), DQM_ERR_TIMEOUT);
    EXPECT_EQ(op.u32(), before);
}

TEST(MbfbTransact, DeviceExceptionBecomesItsCode) {
    ScriptedDevice device;
    device.expect(testing_support::feedbackMessage("00 EA 60 02"), testing_support::hex("00 00 00 00 00 05 00 CC 04 09 36"));
    MbfbOperation op = MbfbOperation::read(60000, 2, kMbfbU32);
    EXPECT_EQ(mbfbTransact(device.handle(), 1, &op), 2358);
}

TEST(MbfbTransact, RefusesWhatTheWireCannotCarryWithoutSendingAnything) {
    ScriptedDevice device;  // no request expected
    MbfbOperation big(1000, 255, kMbfbNoData, 0);
    MbfbOperation tooMany[] = {big, big, big};  // 3 x (4 + 510) bytes > 1536
    EXPECT_EQ(mbfbTransact(device.handle(), 3, tooMany), device::kRequestTooLarge);

    MbfbOperation bigReads[] = {MbfbOperation::read(1, 255, kMbfbBytes), MbfbOperation::read(1, 255, kMbfbBytes),
                                MbfbOperation::read(1, 255, kMbfbBytes)};  // the reply would not fit
    EXPECT_EQ(mbfbTransact(device.handle(), 3, bigReads), device::kRequestTooLarge);

    MbfbOperation noView(1, 1, kMbfbU16, 5);
    noView.u16View = nullptr;
    MbfbOperation unknownDirection = MbfbOperation::read(1, 1, kMbfbU16);
    unknownDirection.direction = 3;
    MbfbOperation unknownType(1, 1, kMbfbU16, 5);
    unknownType.dataType = 9;
    const MbfbOperation refused[] = {
        MbfbOperation(1, 256, kMbfbNoData, 0), MbfbOperation(1, -1, kMbfbNoData, 0), noView, unknownDirection,
        unknownType,
    };
    for (MbfbOperation op : refused) EXPECT_EQ(mbfbTransact(device.handle(), 1, &op), device::kBadOperation);
    EXPECT_EQ(mbfbTransact(device.handle(), -1, nullptr), device::kBadOperation);
    EXPECT_EQ(device.exchanges(), 0);
}

TEST(MbfbOperation, ConstructorsStoreTheValueByDataType) {
    EXPECT_EQ(MbfbOperation(1, 1, kMbfbBytes, 258.9).data[0], 2);  // one byte, truncated
    EXPECT_EQ(MbfbOperation(1, 1, kMbfbU16, 65537.7).u16(), 1);
    EXPECT_EQ(MbfbOperation(1, 2, kMbfbU32, 4294967295.0).u32(), 0xFFFFFFFFu);
    EXPECT_EQ(MbfbOperation(1, 2, kMbfbU32, -1.5).u32(), 0xFFFFFFFFu);
    EXPECT_EQ(MbfbOperation(1, 2, kMbfbU32, 1e30).u32(), 0u);  // beyond any integer: 0, not undefined
    EXPECT_EQ(MbfbOperation(1, 2, kMbfbF32, 0.1).f32(), 0.1f);

    MbfbOperation op(5, 2, kMbfbU32, 7.0);
    op.setValue(6, 1, kMbfbU16, 9.0);
    EXPECT_EQ(op.address, 6);
    EXPECT_EQ(op.direction, kMbfbWrite);
    EXPECT_EQ(op.u16(), 9);
}

TEST(MbfbOperation, CopiesPointTheirViewsAtTheirOwnData) {
    const MbfbOperation original(1, 2, kMbfbF32, 2.5);
    const MbfbOperation copy = original;
    EXPECT_EQ(copy.f32View, reinterpret_cast<const float*>(copy.data));
    EXPECT_EQ(copy.f32(), 2.5f);

    std::uint16_t external[2] = {1, 2};
    MbfbOperation custom;
    custom.u16View = external;
    MbfbOperation second;
    second = custom;
    EXPECT_EQ(second.u16View, external);  // a view into the caller's storage stays
}

}  // namespace
