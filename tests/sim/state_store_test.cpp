// Saving and loading a simulated Z6: the flash and the persistent settings
// survive, a directory without state is a factory-new device, and a damaged
// state is refused without touching the device.
#include "sim_support.h"

#include "z6/factory_flash.h"
#include "z6/z6_registers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using sim_test::Feedback;
using sim_test::TempDir;
using ::testing::HasSubstr;
using z6::Flash;
namespace reg = z6::reg;

constexpr std::uint32_t kCalibrationKey = 0x5E19B0C4;
constexpr std::uint32_t kCalibration = 0x3C4000;
const std::string kErasedChunk =
    "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF";

bool allErased(const z6::Z6Model& model) {
    const auto bytes = model.flash().bytes();
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

bool hasFactoryFlash(const z6::Z6Model& model) {
    Flash factory;
    z6::writeFactoryFlash(factory, model.scenario());
    return std::equal(factory.bytes().begin(), factory.bytes().end(), model.flash().bytes().begin());
}

class Z6State : public ::testing::Test {
protected:
    // Settings and calibration as the station leaves them.
    void configure(z6::Z6Model& model) {
        std::vector<std::uint8_t> program = sim_test::u32Bytes(kCalibration);
        program.insert(program.end(), {0x3F, 0x80, 0x00, 0x00});
        EXPECT_EQ(sim_test::send(model, Feedback()
                                            .writeU32(4990, 300)
                                            .writeU32(30014, 0x3FC00000)  // 1.5
                                            .write(48003, {0x00, 0x07})
                                            .writeU32(reg::kFlashKey, kCalibrationKey)
                                            .write(reg::kFlashProgram, program)
                                            .bytes()),
                  sim_test::feedbackReply(""));
    }

    platform::VirtualClock clock;
    TempDir dir;
};

TEST_F(Z6State, FlashAndPersistentSettingsSurviveASaveAndLoad) {
    z6::Z6Model first(z6::Scenario{}, clock);
    configure(first);
    first.saveState(dir.path());

    z6::Scenario pro;
    pro.identity.options = 1;
    z6::Z6Model second(pro, clock);
    second.loadState(dir.path());

    EXPECT_TRUE(std::equal(first.flash().bytes().begin(), first.flash().bytes().end(),
                           second.flash().bytes().begin()));
    EXPECT_EQ(second.flash().read(kCalibration, 4), (std::vector<std::uint8_t>{0x3F, 0x80, 0x00, 0x00}));
    EXPECT_EQ(second.registers().getU32(4990), 300u);
    EXPECT_EQ(second.registers().getF32(30014), 1.5f);
    EXPECT_EQ(second.registers().getU16(48003), 7);
    EXPECT_EQ(second.registers().getU32(reg::kFlashKey), 0u) << "the key is not kept";
    EXPECT_EQ(second.registers().getU32(reg::kOptions), 1u) << "identity comes from the scenario";

    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"flash.bin", "settings.json"})) << "no temporary file left";
}

TEST_F(Z6State, SavingAgainReplacesTheState) {
    z6::Z6Model model(z6::Scenario{}, clock);
    configure(model);
    model.saveState(dir.path());
    model.registers().setU32(4990, 301);
    model.flash().eraseAll();
    model.saveState(dir.path());

    z6::Z6Model loaded(z6::Scenario{}, clock);
    loaded.loadState(dir.path());
    EXPECT_EQ(loaded.registers().getU32(4990), 301u);
    EXPECT_TRUE(allErased(loaded));
}

// A simulator saves when this count moves, so every change of what is saved
// must move it and the traffic of a station run that changes nothing must not.
TEST_F(Z6State, PersistentChangesCountsWhatASaveWouldKeep) {
    z6::Z6Model model(z6::Scenario{}, clock);
    const std::uint64_t start = model.persistentChanges();
    EXPECT_EQ(sim_test::send(model, Feedback()
                                        .writeU32(reg::kFlashKey, kCalibrationKey)
                                        .writeU32(reg::kFlashReadPointer, kCalibration)
                                        .read(reg::kFlashReadData, 16)
                                        .read(4990, 2)
                                        .bytes()),
              sim_test::feedbackReply(kErasedChunk + " 00 00 00 00"));
    EXPECT_EQ(model.persistentChanges(), start) << "volatile writes and reads";

    std::uint64_t before = model.persistentChanges();
    sim_test::send(model, Feedback().writeU32(4990, 300).bytes());
    EXPECT_GT(model.persistentChanges(), before) << "a persistent setting";
    before = model.persistentChanges();
    sim_test::send(model, Feedback().writeU32(reg::kFlashErase, kCalibration).bytes());
    EXPECT_GT(model.persistentChanges(), before) << "a page erase";
    before = model.persistentChanges();
    configure(model);
    EXPECT_GT(model.persistentChanges(), before) << "a program";
    before = model.persistentChanges();
    model.loadState(dir.path());
    EXPECT_GT(model.persistentChanges(), before) << "a load";
}

TEST_F(Z6State, ADirectoryWithoutStateIsAFactoryNewDevice) {
    for (const std::filesystem::path& empty : {dir.path(), dir.path() / "not-yet-created"}) {
        z6::Z6Model model(z6::Scenario{}, clock);
        configure(model);
        model.loadState(empty);
        EXPECT_TRUE(hasFactoryFlash(model)) << empty;
        EXPECT_EQ(model.registers().getU32(4990), 0u) << empty;
        EXPECT_EQ(model.registers().getF32(reg::kProductId), 7.0f) << empty;
    }
}

TEST_F(Z6State, ADamagedStateIsRefusedAndTheDeviceKeepsWhatItHad) {
    const std::string flashImage(Flash::kSize, '\xFF');
    struct Case {
        const char* what;
        const char* file;
        std::string content;
        const char* messagePart;
    } cases[] = {
        {"flash image cut short", "flash.bin", flashImage.substr(0, 4096), "is 4096 bytes"},
        {"flash image too long", "flash.bin", flashImage + "x", "is 4194305 bytes"},
        {"settings not JSON", "settings.json", R"({"version": 1, "registers": {)", "invalid JSON"},
        {"settings of another version", "settings.json", R"({"version": 2, "registers": {}})", "expected"},
        {"settings with an extra key", "settings.json", R"({"version": 1, "registers": {}, "x": 0})", "expected"},
        {"unknown register", "settings.json", R"({"version": 1, "registers": {"4992": "0000"}})",
         "'4992' is not a persistent register"},
        {"register that is not kept", "settings.json", R"({"version": 1, "registers": {"61800": "00000001"}})",
         "'61800' is not a persistent register"},
        {"address not a number", "settings.json", R"({"version": 1, "registers": {"x4990": "00000001"}})",
         "'x4990' is not a persistent register"},
        {"value of the wrong size", "settings.json", R"({"version": 1, "registers": {"4990": "0001"}})",
         "must hold 4 bytes"},
        {"value not hex", "settings.json", R"({"version": 1, "registers": {"4990": "0000zz01"}})", "must hold 4 bytes"},
        {"value a number", "settings.json", R"({"version": 1, "registers": {"4990": 300}})", "must hold 4 bytes"},
    };
    for (const Case& c : cases) {
        TempDir state;
        state.write(c.file, c.content);
        z6::Z6Model model(z6::Scenario{}, clock);
        configure(model);
        try {
            model.loadState(state.path());
            ADD_FAILURE() << c.what << ": loaded";
        } catch (const z6::StateError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.messagePart)) << c.what;
        }
        EXPECT_EQ(model.registers().getU32(4990), 300u) << c.what;
        EXPECT_EQ(model.flash().read(kCalibration, 1), std::vector<std::uint8_t>{0x3F}) << c.what;
    }
}

TEST_F(Z6State, StateThatCannotBeWrittenOrIsNotADirectoryIsAnError) {
    dir.write("plain-file", "x");
    z6::Z6Model model(z6::Scenario{}, clock);
    EXPECT_THROW(model.saveState(dir.path() / "plain-file"), z6::StateError);
    EXPECT_THROW(model.loadState(dir.path() / "plain-file"), z6::StateError);
}

}  // namespace
