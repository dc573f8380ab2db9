#include "sequencer/step_report.h"
#include "sequencer/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A buffer with guard bytes behind the part a helper is allowed to use.
struct GuardedBuffer {
    static constexpr std::size_t kGuard = 16;
    explicit GuardedBuffer(std::size_t usable) : usable(usable), bytes(usable + kGuard, '#') {}
    char* data() { return bytes.data(); }
    bool guardIntact() const { return bytes.find_first_not_of('#', usable) == std::string::npos; }
    std::string text() const { return std::string(bytes.c_str()); }
    std::size_t usable;
    std::string bytes;
};

TEST(FormatInto, CutsToTheBufferAndNeverWritesPastIt) {
    struct Case {
        std::size_t size;
        const char* expected;
        int returned;
    } cases[] = {
        {1, "", 0}, {5, "1234", 4}, {10, "123456789", 9}, {11, "1234567890", 10}, {40, "1234567890", 10},
    };
    for (const Case& c : cases) {
        GuardedBuffer buffer(c.size);
        EXPECT_EQ(text::formatInto(buffer.data(), c.size, "%d%s", 12345, "67890"), c.returned) << c.size;
        EXPECT_EQ(buffer.text(), c.expected) << c.size;
        EXPECT_TRUE(buffer.guardIntact()) << c.size;
    }
}

TEST(FormatInto, RefusesAnEmptyBuffer) {
    GuardedBuffer buffer(0);
    EXPECT_EQ(text::formatInto(buffer.data(), 0, "abc"), -1);
    EXPECT_TRUE(buffer.guardIntact());
}

TEST(CopyAndAppend, CutWhatDoesNotFit) {
    GuardedBuffer buffer(8);
    EXPECT_EQ(text::copyInto(buffer.data(), 8, "Comm Error: "), 7u);
    EXPECT_EQ(buffer.text(), "Comm Er");
    EXPECT_TRUE(buffer.guardIntact());

    text::copyInto(buffer.data(), 8, "ab");
    EXPECT_EQ(text::appendInto(buffer.data(), 8, "cdefghij"), 7u);
    EXPECT_EQ(buffer.text(), "abcdefg");
    EXPECT_EQ(text::appendInto(buffer.data(), 8, "more"), 7u);
    EXPECT_TRUE(buffer.guardIntact());

    EXPECT_EQ(text::copyInto(buffer.data(), 8, nullptr), 0u);
    EXPECT_EQ(buffer.text(), "");
}

TEST(CopyAndAppend, AppendToAnUnterminatedBufferTerminatesIt) {
    char raw[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(text::appendInto(raw, sizeof raw, "x"), 3u);
    EXPECT_STREQ(raw, "abc");
}

TEST(AppendFormat, PiecesAreCutTo199AndDetailsTo499) {
    char details[text::kDetailsSize] = "";
    const std::string long250(250, 'x');
    text::appendFormat(details, "%s", long250.c_str());
    EXPECT_EQ(std::strlen(details), 199u);
    text::appendFormat(details, "%s", long250.c_str());
    text::appendFormat(details, "%s", long250.c_str());
    EXPECT_EQ(std::strlen(details), 499u);

    char scratch[text::kScratchSize];
    text::format(scratch, "(%i)", 2358);
    text::copy(details, "Comm Error: ");
    text::append(details, scratch);
    EXPECT_STREQ(details, "Comm Error: (2358)");
}

TEST(StepReport, CommErrorIsFatalWithTheCodeInParentheses) {
    TestContext context;
    text::copy(context.details, "something longer that was there before");
    EXPECT_EQ(failCommError(&context, 1227), 1);
    EXPECT_EQ(context.resultState, Fatal);
    EXPECT_STREQ(context.details, "Comm Error: (1227)");
}

}  // namespace
