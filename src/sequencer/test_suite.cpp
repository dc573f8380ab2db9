#include "sequencer/test_suite.h"

#include "platform/console.h"
#include "platform/sockets.h"
#include "sequencer/console_io.h"
#include "sequencer/station_flags.h"
#include "sequencer/text.h"

#include <cstring>
#include <string>

namespace {

constexpr double kTableVersion = 0.65;
constexpr int kNameColumn = 28;
constexpr int kStateColumn = 12;
constexpr int kRowsThatEndTheRun = 3;  // a Fatal result in these rows stops everything
constexpr const char* kRunningDetails = "All functions must fill Msg and EL";

void padTo(std::string& out, const char* text, int column) {
    out += text;
    const int length = static_cast<int>(std::strlen(text));
    if (length < column) out.append(static_cast<std::size_t>(column - length), ' ');
}

const PlanProvider* findProvider(const PlanProvider* providers, std::int32_t kind) {
    for (const PlanProvider* p = providers; p && p->builder; ++p)
        if (p->kind == kind) return p;
    return nullptr;
}

}  // namespace

void TestSuite::init() { init(flags::kDefault); }

void TestSuite::init(std::uint32_t stationFlags, const PlanProvider* providers) {
    context.stationFlags = stationFlags;
    if (const PlanProvider* provider = findProvider(providers, kPlanKind))
        provider->builder(&context, records, &versionText);
    text::copy(overallResult, "Not yet run");
    printTable();
    context.handle = 0;
    context.usbHandle = 0;
    context.ethHandle = 0;
    context.wifiHandle = 0;
    for (const char*& row : context.summaryRows) row = nullptr;
}

std::int32_t TestSuite::run() {
    bool verdictPass = true;
    text::copy(overallResult, "** In Progress **");
    const int count = context.testCount;
    int i = 0;
    while (i < count) {
        TestRecord& record = records[i];
        record.state = Running;
        printTable();
        text::copy(record.details, kRunningDetails);
        print("Running Test\r\n");
        record.function(&context);
        print("Test Complete\r\n");
        text::copy(record.details, context.details);
        record.state = context.resultState;
        updateSummary(i);
        if (context.resultState != Passed) verdictPass = false;
        if (context.resultState != Fatal) {
            ++i;
            continue;
        }
        if (i < kRowsThatEndTheRun) break;
        // Skip ahead to the final reporting step, which still runs.
        int next = i + 1;
        for (; next < count && next < context.finalStepIndex; ++next) {
            text::copy(records[next].details, "Skipped");
            records[next].state = Skipped;
        }
        i = next;
    }
    text::copy(overallResult, verdictPass ? "** Passed **" : "** Failed **");
    printTable();
    platform::socketLibraryCleanup();
    return 0;
}

void TestSuite::printTable() const {
    std::string out;
    for (int i = 0; i < 20; ++i) out += "\r\n";
    char heading[text::kScratchSize];
    text::format(heading, "DQTest %0.02f, ", kTableVersion);
    out += heading;
    if (versionText) out += versionText;
    out += "\r\nOverall Result:           ";
    out += overallResult;
    out += "\r\n\r\n";
    out += "-TEST-                      -RESULT-    -DETAILS-\r\n";
    for (int i = 0; i < context.testCount; ++i) {
        const TestRecord& record = records[i];
        out += ' ';
        padTo(out, record.name ? record.name : "", kNameColumn);
        padTo(out, resultStateText(record.state), kStateColumn);
        out += record.details;
        out += "\r\n";
    }
    platform::console().write(out);
}

void TestSuite::updateSummary(int row) {
    const TestRecord& record = records[row];
    char* line = summaryTexts[row];
    text::copyInto(line, kRowTextSize, record.name);
    text::appendInto(line, kRowTextSize, " : ");
    text::appendInto(line, kRowTextSize, resultStateText(record.state));
    text::appendInto(line, kRowTextSize, " : ");
    text::appendInto(line, kRowTextSize, record.details);
    context.summaryRows[row] = line;
}
