// The results table, byte for byte.
#include "sequencer/test_suite.h"
#include "support/recording_console.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const std::string kLong250 = std::string(246, 'x') + "100%";

std::int32_t versionLikeStep(TestContext* c) {
    c->resultState = Passed;
    text::copy(c->details, "DQtestZ6 1.22, DQM 1.0500");
    return 0;
}
std::int32_t longDetailsStep(TestContext* c) {
    c->resultState = Warning;
    text::copy(c->details, kLong250.c_str());
    return 0;
}
std::int32_t fatalStep(TestContext* c) {
    c->resultState = Fatal;
    text::copy(c->details, "Comm Error: (1010) %d");
    return 1;
}

std::int32_t buildSmallList(TestContext* context, TestRecord* records, const char** versionText) {
    const struct {
        const char* name;
        TestFunction function;
    } rows[] = {
        {"DQtestZ6 Version", versionLikeStep},
        {"Twenty-eight characters lon", longDetailsStep},  // 27
        {"Exactly twenty-eight chars!!", longDetailsStep},  // 28
        {"Open 100%s", fatalStep},
        {"Never runs", versionLikeStep},
    };
    int count = 0;
    for (const auto& row : rows) {
        records[count].name = row.name;
        records[count].function = row.function;
        ++count;
    }
    context->testCount = count;
    context->finalStepIndex = kNoFinalStep;
    *versionText = "DQtestZ6 1.22";
    return 0;
}

const PlanProvider kProviders[] = {{2, buildSmallList}, {0, nullptr}};

TEST(PrintTable, ExactBytesAfterARun) {
    testing_support::RecordingConsole console;
    auto suite = std::make_unique<TestSuite>();
    suite->init(0x711E1, kProviders);

    const std::string head =
        "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
        "DQTest 0.65, DQtestZ6 1.22\r\n";
    const std::string header = "\r\n\r\n-TEST-                      -RESULT-    -DETAILS-\r\n";
    EXPECT_EQ(console.output(), head + "Overall Result:           Not yet run" + header +
                                    " DQtestZ6 Version            -           \r\n"
                                    " Twenty-eight characters lon -           \r\n"
                                    " Exactly twenty-eight chars!!-           \r\n"
                                    " Open 100%s                  -           \r\n"
                                    " Never runs                  -           \r\n");

    suite->run();
    console.clear();
    suite->printTable();

    const std::string cut = kLong250.substr(0, 199);
    EXPECT_EQ(console.output(), head + "Overall Result:           ** Failed **" + header +
                                    " DQtestZ6 Version            Passed      DQtestZ6 1.22, DQM 1.0500\r\n"
                                    " Twenty-eight characters lon Warning     " + cut + "\r\n"
                                    " Exactly twenty-eight chars!!Warning     " + cut + "\r\n"
                                    " Open 100%s                  Fatal       Comm Error: (1010) %d\r\n"
                                    " Never runs                  Skipped     Skipped\r\n");
}

}  // namespace
