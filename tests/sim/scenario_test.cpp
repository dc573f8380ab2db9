// Scenario files: the shipped ones, extends, and the errors that catch a
// mistyped file.
#include "sim_support.h"

#include "z6/scenario.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

using sim_test::TempDir;
using ::testing::HasSubstr;
using z6::ScenarioError;

// The message of the ScenarioError that loading dir/name throws.
std::string loadError(const std::string& name, const std::filesystem::path& dir) {
    try {
        z6::loadScenario(name, dir);
    } catch (const ScenarioError& e) {
        return e.what();
    }
    return "(loaded)";
}

TEST(Z6ShippedScenarios, HealthyAndHealthyProDifferOnlyInTheProAndSdCardOptions) {
    const std::vector<std::string> names = z6::listScenarios(z6::defaultScenarioDir());
    for (const char* name : {"healthy", "healthy-pro", "flash-read-busy"}) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }

    const z6::Scenario healthy = z6::loadScenario("healthy");
    EXPECT_EQ(healthy.name, "healthy");
    EXPECT_EQ(healthy.identity.productId, 7.0f);
    EXPECT_EQ(healthy.identity.options, 0u);
    EXPECT_EQ(healthy.identity.hardwareVersion, 1.30f);
    EXPECT_EQ(healthy.identity.firmwareVersion, 1.03f);
    EXPECT_EQ(healthy.identity.bootstrapVersion, 0.96f);
    EXPECT_EQ(healthy.identity.flashChipId, 73u);
    EXPECT_EQ(healthy.identity.flashFlags, 0u);
    EXPECT_EQ(healthy.faults.flashReadBusy, 0u);

    const z6::Scenario pro = z6::loadScenario("healthy-pro");
    EXPECT_EQ(pro.name, "healthy-pro");
    EXPECT_EQ(pro.description, "A good Z6 with the Pro option and a mounted SD card");
    EXPECT_EQ(pro.identity.options, 9u);  // Pro, SD card mounted
    EXPECT_EQ(pro.identity.hardwareVersion, healthy.identity.hardwareVersion);
    EXPECT_EQ(pro.identity.flashChipId, healthy.identity.flashChipId);

    EXPECT_EQ(z6::loadScenario("flash-read-busy").faults.flashReadBusy, 3u);

    // What the station reads: the option bits and the flash chip id.
    platform::VirtualClock clock;
    z6::Z6Model model(pro, clock);
    EXPECT_EQ(sim_test::send(model, sim_test::hex("00 01 00 00 00 06 01 03 EA 6A 00 02")),
              "00 01 00 00 00 07 01 03 04 00 00 00 09");
    EXPECT_EQ(sim_test::send(model, sim_test::hex("00 01 00 00 00 06 01 03 EA 88 00 02")),
              "00 01 00 00 00 07 01 03 04 00 00 00 49");
}

TEST(Z6ShippedScenarios, EveryOneLoadsAndHealthySpellsOutTheBuiltInDevice) {
    platform::VirtualClock clock;
    for (const std::string& name : z6::listScenarios(z6::defaultScenarioDir())) {
        EXPECT_NO_THROW(z6::Z6Model(z6::loadScenario(name), clock)) << name;
    }
    const z6::Scenario healthy = z6::loadScenario("healthy");
    const z6::Scenario builtIn;
    EXPECT_TRUE(healthy.analog == builtIn.analog);
    EXPECT_TRUE(healthy.settings == builtIn.settings);
    EXPECT_TRUE(healthy.clock == builtIn.clock);
    EXPECT_TRUE(healthy.jig == builtIn.jig);
    EXPECT_TRUE(healthy.faults == builtIn.faults);
}

// The catalogue's rows "| `name` | description |", name to description.
std::map<std::string, std::string> catalogue(const std::filesystem::path& file) {
    std::map<std::string, std::string> rows;
    std::ifstream in(file);
    std::string line;
    const std::string start = "| `";
    const std::string between = "` | ";
    const std::string end = " |";
    while (std::getline(in, line)) {
        const std::size_t nameEnd = line.find(between);
        if (line.rfind(start, 0) != 0 || nameEnd == std::string::npos || !line.ends_with(end)) continue;
        const std::size_t from = nameEnd + between.size();
        rows[line.substr(start.size(), nameEnd - start.size())] = line.substr(from, line.size() - end.size() - from);
    }
    return rows;
}

TEST(Z6ShippedScenarios, TheCatalogueListsEveryFileWithItsDescriptionAndNothingElse) {
    std::map<std::string, std::string> files;
    for (const std::string& name : z6::listScenarios(z6::defaultScenarioDir())) {
        files[name] = z6::loadScenario(name).description;
        EXPECT_FALSE(files[name].empty()) << name << " has no description";
    }
    EXPECT_EQ(catalogue(z6::defaultScenarioDir() / "README.md"), files);
}

TEST(Z6ScenarioFiles, ExtendsOverridesOnlyTheValuesGivenAtEveryLevel) {
    TempDir dir;
    dir.write("base.json", R"({"description": "base", "identity": {"options": 2, "hardwareVersion": 2.5},
                               "faults": {"flashReadBusy": 4}})");
    dir.write("middle.json", R"({"extends": "base", "identity": {"hardwareVersion": 3.0, "flashFlags": 64}})");
    dir.write("leaf.json", R"({"name": "leaf", "extends": "middle", "faults": {"flashReadBusy": 1}})");

    const z6::Scenario leaf = z6::loadScenario("leaf", dir.path());
    EXPECT_EQ(leaf.name, "leaf");
    EXPECT_EQ(leaf.description, "") << "a description is not inherited";
    EXPECT_EQ(leaf.identity.options, 2u);
    EXPECT_EQ(leaf.identity.hardwareVersion, 3.0f);
    EXPECT_EQ(leaf.identity.flashFlags, 64u);
    EXPECT_EQ(leaf.faults.flashReadBusy, 1u);
    EXPECT_EQ(leaf.identity.productId, 7.0f) << "values no file gives keep their defaults";
}

TEST(Z6ScenarioFiles, MistakesGiveAnErrorThatPointsAtThem) {
    struct Case {
        const char* what;
        const char* content;       // of bad.json
        const char* load;          // the scenario loaded
        const char* messagePart;  // must appear in the error
    } cases[] = {
        {"unknown name lists those available", "{}", "missing", "available: bad, good"},
        {"name that could leave the directory", "{}", "../good", "may hold only"},
        {"invalid JSON", R"({"identity": )", "bad", "invalid JSON"},
        {"not an object", "[1, 2]", "bad", "must hold a JSON object"},
        {"unknown top-level key", R"({"identiy": {}})", "bad", "unknown key 'identiy'"},
        {"unknown key in a section", R"({"identity": {"productID": 7}})", "bad", "unknown key 'identity.productID'"},
        {"unknown fault", R"({"faults": {"flashBusy": 1}})", "bad", "known in faults: flashReadBusy"},
        {"section not an object", R"({"faults": 3})", "bad", "'faults' must be an object"},
        {"float given as text", R"({"identity": {"productId": "7.0"}})", "bad", "identity.productId must be a number"},
        {"float out of range", R"({"identity": {"productId": 1e300}})", "bad", "out of range"},
        {"negative count", R"({"faults": {"flashReadBusy": -1}})", "bad", "faults.flashReadBusy must be a whole"},
        {"fractional bits", R"({"identity": {"options": 1.5}})", "bad", "identity.options must be a whole"},
        {"bits past 32", R"({"identity": {"options": 4294967296}})", "bad", "must be a whole number"},
        {"code wider than its lines", R"({"jig": {"wiredCode": 32}})", "bad",
         "jig.wiredCode must be a whole number from 0 to 31"},
        {"switch given as a number", R"({"jig": {"present": 1}})", "bad", "jig.present must be true or false"},
        {"name too long", R"({"settings": {"name": "12345678901234567890123456789012345678901"}})", "bad",
         "settings.name must be at most 40 bytes"},
        {"name not text", R"({"settings": {"name": 42}})", "bad", "settings.name must be a string"},
        {"offset past 32 bits", R"({"clock": {"offsetSeconds": -2147483649}})", "bad", "from -2147483648 to"},
        {"fractional offset", R"({"clock": {"offsetSeconds": 1.5}})", "bad", "clock.offsetSeconds must be a whole"},
        {"negative noise", R"({"faults": {"quietInputNoiseVolts": -1e-5}})", "bad",
         "faults.quietInputNoiseVolts must be a number from 0 to 10"},
        {"negative gain", R"({"faults": {"gain1V": -0.1}})", "bad", "faults.gain1V must be a number from 0 to 1000"},
        {"divider that amplifies", R"({"jig": {"referenceDivider": 1.5}})", "bad",
         "jig.referenceDivider must be a number from 0 to 1"},
        {"offset given as text", R"({"faults": {"dac0OffsetVolts": "0.011"}})", "bad",
         "faults.dac0OffsetVolts must be a number"},
        {"line mask past line 22", R"({"faults": {"dioStuckLow": 8388608}})", "bad",
         "faults.dioStuckLow must be a whole number from 0 to 8388607"},
        {"diagnostic code past 16 bits", R"({"faults": {"diagnosticCode": 65536}})", "bad",
         "faults.diagnosticCode must be a whole number from 0 to 65535"},
        {"extends not text", R"({"extends": 1})", "bad", "'extends' must be a string"},
        {"extends an unknown scenario", R"({"extends": "helthy"})", "bad", "no scenario 'helthy' (extended by 'bad')"},
        {"file names itself otherwise", R"({"name": "good"})", "bad", "names itself 'good'"},
        {"extends itself", R"({"extends": "bad"})", "bad", "cycle: bad -> bad"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("good.json", "{}");
        dir.write("bad.json", c.content);
        EXPECT_THAT(loadError(c.load, dir.path()), HasSubstr(c.messagePart)) << c.what;
    }
}

TEST(Z6ScenarioFiles, ExtendsChainsThatLoopOrRunTooDeepAreRefused) {
    TempDir dir;
    dir.write("a.json", R"({"extends": "b"})");
    dir.write("b.json", R"({"extends": "c"})");
    dir.write("c.json", R"({"extends": "a"})");
    EXPECT_THAT(loadError("a", dir.path()), HasSubstr("cycle: a -> b -> c -> a"));

    // level0 extends level1 ... extends level8: nine files, one too many.
    for (int i = 0; i < 8; ++i) {
        dir.write("level" + std::to_string(i) + ".json", R"({"extends": "level)" + std::to_string(i + 1) + R"("})");
    }
    dir.write("level8.json", "{}");
    EXPECT_NO_THROW(z6::loadScenario("level1", dir.path()));
    EXPECT_THAT(loadError("level0", dir.path()), HasSubstr("more than 7 levels deep"));
}

TEST(Z6ScenarioFiles, ListingAMissingDirectoryIsAnError) {
    EXPECT_THROW(z6::listScenarios("/nonexistent/z6-scenarios"), ScenarioError);
    EXPECT_THROW(z6::loadScenario("healthy", "/nonexistent/z6-scenarios"), ScenarioError);
}

}  // namespace
