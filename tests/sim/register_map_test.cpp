// Rules for register tables: a table mistake must fail at start-up, not
// answer the station with the wrong block.
#include "z6/register_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace z6;
using enum Access;
using enum Persistence;

TEST(Z6RegisterTable, OnlyAReadBlockAndAWriteBlockMayOverlap) {
    struct Case {
        const char* what;
        std::vector<RegisterDefinition> table;
        bool accepted;
    } cases[] = {
        {"read-only bytes over a write-only command",
         {byteRegisters(100, 16, 16, Read, Volatile, "data"), u32Register(108, Write, Volatile, "command")},
         true},
        {"two readable blocks",
         {byteRegisters(100, 16, 16, Read, Volatile, "data"), u32Register(108, ReadWrite, Volatile, "setting")},
         false},
        {"two writable blocks",
         {byteRegisters(100, 3, 18, Write, Volatile, "program"), u16Register(117, Write, Volatile, "command")},
         false},
        {"two blocks at one address",
         {u32Register(100, Read, Volatile, "status"), u32Register(100, Write, Volatile, "command")},
         false},
        {"a 32-bit value in one register", {{100, 1, 1, ValueType::U32, ReadWrite, Volatile, "short"}}, false},
        {"a block past register 65535", {u32Register(65535, ReadWrite, Volatile, "last")}, false},
        {"a variable block whose minimum exceeds its maximum", {byteRegisters(100, 4, 3, Write, Volatile, "bad")},
         false},
    };
    for (const Case& c : cases) {
        if (c.accepted) {
            EXPECT_NO_THROW(RegisterMap{c.table}) << c.what;
        } else {
            EXPECT_THROW(RegisterMap{c.table}, std::invalid_argument) << c.what;
        }
    }
}

TEST(Z6RegisterMap, OverlappingReadAndWriteBlocksEachSeeTheirOwnAccesses) {
    RegisterMap map(std::vector{byteRegisters(100, 4, 4, Read, Volatile, "data"),
                                u32Register(102, Write, Volatile, "command")});
    std::vector<std::uint8_t> written;
    map.onWrite(102, [&](std::span<const std::uint8_t> data) {
        written.assign(data.begin(), data.end());
        return DeviceError::None;
    });
    map.setRaw(100, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8});

    EXPECT_EQ(map.checkWrite(100, 4), RangeCheck::NotMapped);
    ASSERT_EQ(map.checkWrite(102, 2), RangeCheck::Ok);
    ASSERT_EQ(map.write(102, std::vector<std::uint8_t>{9, 9, 9, 9}), DeviceError::None);
    EXPECT_EQ(written, (std::vector<std::uint8_t>{9, 9, 9, 9}));

    std::vector<std::uint8_t> read(4);
    ASSERT_EQ(map.checkRead(102, 2), RangeCheck::Ok);
    ASSERT_EQ(map.read(102, 2, read), DeviceError::None);
    EXPECT_EQ(read, (std::vector<std::uint8_t>{5, 6, 7, 8}));
}

TEST(Z6RegisterMap, TypedAccessStoresMostSignificantByteFirstAndChecksTheType) {
    RegisterMap map(std::vector{f32Register(10, Read, Volatile, "product"), u32Register(12, ReadWrite, Volatile, "n")});
    map.setF32(10, 7.0f);
    map.setU32(12, 0x01020304);
    EXPECT_EQ(map.raw(10), (std::vector<std::uint8_t>{0x40, 0xE0, 0x00, 0x00}));
    EXPECT_EQ(map.raw(12), (std::vector<std::uint8_t>{0x01, 0x02, 0x03, 0x04}));
    EXPECT_THROW(map.getU32(10), std::logic_error);
    EXPECT_THROW(map.setU16(11, 1), std::logic_error);
}

}  // namespace
