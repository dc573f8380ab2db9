// The flash window: key, read pointer and data, erase, program, and the
// busy fault, as the station drives them with function-76 requests.
#include "sim_support.h"

#include "z6/flash_regions.h"
#include "z6/flash_window.h"
#include "z6/z6_registers.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using sim_test::Feedback;
using sim_test::feedbackException;
using sim_test::feedbackReply;
using z6::Flash;
namespace reg = z6::reg;

constexpr std::uint32_t kWebPagesKey = 0xB2A9047F;
constexpr std::uint32_t kCalibrationKey = 0x5E19B0C4;        // 0x3C4000, two pages
constexpr std::uint32_t kManufacturingKey = 0xC4F0A96B;      // 0x3C6000, one page
constexpr std::uint32_t kRecoveryFirmwareKey = 0x8A52B06E;   // 0x3E0000 to the end
constexpr std::uint32_t kManufacturingInfo = 0x3C6000;

// Device errors as they appear on the wire.
constexpr std::uint16_t kWrongKey = 2350;
constexpr std::uint16_t kInNoRegion = 2351;
constexpr std::uint16_t kLeavesRegion = 2352;
constexpr std::uint16_t kNotPageAligned = 2353;
constexpr std::uint16_t kBusy = 2358;

std::vector<std::uint8_t> counting(std::size_t length, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

// program frame data: address, then the bytes
std::vector<std::uint8_t> programData(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> data = sim_test::u32Bytes(address);
    data.insert(data.end(), bytes.begin(), bytes.end());
    return data;
}

z6::Scenario busyFor(std::uint32_t reads) {
    z6::Scenario scenario;
    scenario.faults.flashReadBusy = reads;
    return scenario;
}

class Z6FlashWindow : public ::testing::Test {
protected:
    std::string send(const Feedback& request) { return sim_test::send(model, request.bytes()); }
    std::vector<std::uint8_t> flashAt(std::uint32_t address, std::size_t length) {
        return model.flash().read(address, length);
    }

    platform::VirtualClock clock;
    z6::Z6Model model{z6::Scenario{}, clock};
};

TEST_F(Z6FlashWindow, ReadReturnsThe32BytesAtThePointerWhichStaysPut) {
    model.flash().program(kManufacturingInfo + 0x10, counting(32));
    const std::string chunk =
        "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F";
    EXPECT_EQ(send(Feedback()
                       .writeU32(reg::kFlashKey, kManufacturingKey)
                       .writeU32(reg::kFlashReadPointer, kManufacturingInfo + 0x10)
                       .read(reg::kFlashReadData, 16)
                       .read(reg::kFlashReadData, 16)
                       .read(reg::kFlashKey, 2)),
              feedbackReply(chunk + " " + chunk + " C4 F0 A9 6B"));
}

TEST_F(Z6FlashWindow, EraseSetsOnePageTo0xFF) {
    model.flash().program(0x3C4000, std::vector<std::uint8_t>(2 * Flash::kPageSize, 0x00));
    EXPECT_EQ(send(Feedback().writeU32(reg::kFlashKey, kCalibrationKey).writeU32(reg::kFlashErase, 0x3C5000)),
              feedbackReply(""));
    const std::vector<std::uint8_t> first = flashAt(0x3C4000, Flash::kPageSize);
    const std::vector<std::uint8_t> second = flashAt(0x3C5000, Flash::kPageSize);
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](std::uint8_t b) { return b == 0x00; }));
    EXPECT_TRUE(std::all_of(second.begin(), second.end(), [](std::uint8_t b) { return b == 0xFF; }));
}

TEST_F(Z6FlashWindow, ProgramOnlyClearsBits) {
    const std::uint32_t at = kManufacturingInfo + 0x101;  // any byte address
    const Feedback first =
        Feedback().writeU32(reg::kFlashKey, kManufacturingKey).write(reg::kFlashProgram, programData(at, {0xF0, 0x0F}));
    const Feedback second = Feedback().write(reg::kFlashProgram, programData(at, {0x3C, 0xFF}));
    EXPECT_EQ(send(first), feedbackReply(""));
    EXPECT_EQ(send(second), feedbackReply(""));
    EXPECT_EQ(flashAt(at - 1, 4), (std::vector<std::uint8_t>{0xFF, 0x30, 0x0F, 0xFF}));
}

// Each refused operation: the device error on the wire, no data, and not a
// byte of flash changed.
TEST_F(Z6FlashWindow, RefusedOperationsLeaveTheFlashUntouched) {
    enum Operation { Read, Erase, Program };
    struct Case {
        const char* what;
        Operation operation;
        std::uint32_t key;
        std::uint32_t address;
        std::uint16_t error;
    } cases[] = {
        {"read, key of another region", Read, kCalibrationKey, kManufacturingInfo, kWrongKey},
        {"erase, key of another region", Erase, kCalibrationKey, kManufacturingInfo, kWrongKey},
        {"program, key of another region", Program, kCalibrationKey, kManufacturingInfo, kWrongKey},
        {"erase, no key written", Erase, 0, kManufacturingInfo, kWrongKey},
        {"erase, not a page start", Erase, kManufacturingKey, kManufacturingInfo + 0x800, kNotPageAligned},
        {"read, unassigned flash", Read, kManufacturingKey, 0x3C8000, kInNoRegion},
        {"erase, unassigned flash", Erase, kManufacturingKey, 0x3DF000, kInNoRegion},
        {"program, unassigned flash", Program, kManufacturingKey, 0x3D0000, kInNoRegion},
        {"erase, beyond the chip", Erase, kRecoveryFirmwareKey, 0x400000, kInNoRegion},
        {"read, last bytes of a region and first of the next", Read, kManufacturingKey, 0x3C6FF0, kLeavesRegion},
        {"program, last bytes of a region and first of the next", Program, kManufacturingKey, 0x3C6FFE, kLeavesRegion},
        {"read, running off the end of the chip", Read, kRecoveryFirmwareKey, 0x3FFFF0, kLeavesRegion},
    };
    // Something to lose on every page involved.
    model.flash().program(0x3C5000, std::vector<std::uint8_t>(3 * Flash::kPageSize, 0x5A));
    model.flash().program(0x3FF000, std::vector<std::uint8_t>(Flash::kPageSize, 0x5A));
    const std::vector<std::uint8_t> before(model.flash().bytes().begin(), model.flash().bytes().end());

    for (const Case& c : cases) {
        Feedback request;
        request.writeU32(reg::kFlashKey, c.key);
        switch (c.operation) {
            case Read: request.writeU32(reg::kFlashReadPointer, c.address).read(reg::kFlashReadData, 16); break;
            case Erase: request.writeU32(reg::kFlashErase, c.address); break;
            case Program: request.write(reg::kFlashProgram, programData(c.address, {0x00, 0x00, 0x00, 0x00})); break;
        }
        EXPECT_EQ(send(request), feedbackException(4, c.error)) << c.what;
        EXPECT_TRUE(std::equal(before.begin(), before.end(), model.flash().bytes().begin())) << c.what;
    }
}

TEST_F(Z6FlashWindow, AFailingFrameStopsTheRequestThereAndEarlierFramesStayDone) {
    model.flash().program(kManufacturingInfo, std::vector<std::uint8_t>{0x12, 0x34});
    EXPECT_EQ(send(Feedback()
                       .writeU32(4990, 5)
                       .writeU32(reg::kFlashKey, kWebPagesKey)
                       .writeU32(reg::kFlashErase, kManufacturingInfo)
                       .write(48003, {0x00, 0x07})),
              feedbackException(4, kWrongKey));
    EXPECT_EQ(model.registers().getU32(4990), 5u);
    EXPECT_EQ(model.registers().getU32(reg::kFlashKey), kWebPagesKey);
    EXPECT_EQ(model.registers().getU16(48003), 0);
    EXPECT_EQ(flashAt(kManufacturingInfo, 2), (std::vector<std::uint8_t>{0x12, 0x34}));
}

TEST_F(Z6FlashWindow, ProgramTakes2To32DataBytes) {
    const std::uint32_t at = kManufacturingInfo;
    Feedback shortest, longest, tooShort, tooLong;
    shortest.writeU32(reg::kFlashKey, kManufacturingKey).write(reg::kFlashProgram, programData(at, {0x00, 0x01}));
    longest.write(reg::kFlashProgram, programData(at + 2, counting(32, 0x02)));
    tooShort.write(reg::kFlashProgram, programData(at + 0x100, {}));
    tooLong.write(reg::kFlashProgram, programData(at + 0x100, counting(34)));

    EXPECT_EQ(send(shortest), feedbackReply(""));
    EXPECT_EQ(send(longest), feedbackReply(""));
    EXPECT_EQ(flashAt(at, 34), counting(34));
    EXPECT_EQ(flashAt(at + 34, 1), std::vector<std::uint8_t>{0xFF});
    EXPECT_EQ(send(tooShort), feedbackException(3, 0));
    EXPECT_EQ(send(tooLong), feedbackException(2, 0)) << "register 61848 is past the program block";
    EXPECT_EQ(flashAt(at + 0x100, 1), std::vector<std::uint8_t>{0xFF});
}

TEST(Z6FlashWindowAlone, ProgramRefusesAnOddOrOutOfRangeLengthFromAnyCaller) {
    z6::Flash flash;
    z6::RegisterMap registers(z6::z6RegisterTable());
    z6::FlashWindow window(flash, registers, 0);
    registers.setU32(reg::kFlashKey, kManufacturingKey);
    for (std::size_t length : {0, 1, 3, 33, 34}) {
        EXPECT_EQ(window.program(kManufacturingInfo, std::vector<std::uint8_t>(length, 0x00)),
                  z6::DeviceError::FlashProgramLengthInvalid)
            << length;
    }
    EXPECT_EQ(flash.read(kManufacturingInfo, 34), std::vector<std::uint8_t>(34, 0xFF));
}

TEST_F(Z6FlashWindow, EachRegionsKeyUnlocksItsRegionAndNoOther) {
    const auto regions = z6::flashRegions();
    ASSERT_FALSE(regions.empty());
    std::uint32_t previousEnd = 0;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const z6::FlashRegion& region = regions[i];
        const z6::FlashRegion& other = regions[(i + 1) % regions.size()];
        SCOPED_TRACE(std::string(region.name));
        EXPECT_GE(region.start, previousEnd);
        EXPECT_LT(region.start, region.end);
        EXPECT_EQ(region.start % Flash::kPageSize, 0u);
        EXPECT_EQ(region.end % Flash::kPageSize, 0u);
        EXPECT_LE(region.end, Flash::kSize);
        previousEnd = region.end;

        for (std::uint32_t page : {region.start, region.end - Flash::kPageSize}) {
            EXPECT_EQ(send(Feedback().writeU32(reg::kFlashKey, other.key).writeU32(reg::kFlashErase, page)),
                      feedbackException(4, kWrongKey));
            EXPECT_EQ(send(Feedback().writeU32(reg::kFlashKey, region.key).writeU32(reg::kFlashErase, page)),
                      feedbackReply(""));
        }
    }
    EXPECT_EQ(z6::findFlashRegion(0x3C8000), nullptr);
    EXPECT_EQ(z6::findFlashRegion(0x3DFFFF), nullptr);
    EXPECT_EQ(z6::findFlashRegion(Flash::kSize), nullptr);
}

TEST(Z6FlashReadBusy, TheFirstReadsAreRefusedAsBusyThenReadsWork) {
    platform::VirtualClock clock;
    z6::Z6Model model(busyFor(2), clock);
    std::vector<std::string> faults;
    model.onFault([&](std::string_view fault) { faults.emplace_back(fault); });
    model.flash().program(0, std::vector<std::uint8_t>{0xAB, 0xCD});
    const Feedback read = Feedback()
                              .writeU32(reg::kFlashKey, kWebPagesKey)
                              .writeU32(reg::kFlashReadPointer, 0)
                              .read(reg::kFlashReadData, 16);

    // A plain function-3 read counts too; its exception has no device error.
    EXPECT_EQ(sim_test::send(model, sim_test::hex("00 05 00 00 00 06 01 03 F1 74 00 10")),
              "00 05 00 00 00 03 01 83 04");
    model.registers().setU32(reg::kFlashReadPointer, 0x1234);
    EXPECT_EQ(sim_test::send(model, read.bytes()), feedbackException(4, kBusy));
    EXPECT_EQ(model.registers().getU32(reg::kFlashReadPointer), 0u) << "frames before the busy read ran";
    // Busy concerns reads only.
    EXPECT_EQ(sim_test::send(model, Feedback().writeU32(reg::kFlashErase, 0x1000).bytes()), feedbackReply(""));

    EXPECT_EQ(sim_test::send(model, read.bytes()),
              feedbackReply("AB CD FF FF FF FF FF FF FF FF FF FF FF FF FF FF"
                            " FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"));
    EXPECT_EQ(faults, (std::vector<std::string>{"flash read busy", "flash read busy"})) << "one event per refusal";
}

}  // namespace
