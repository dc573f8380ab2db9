// "Load Recovery Image": programs the recovery firmware image file found in
// the working directory ("Z6recovery_" followed by its version times 10000).
#include "firmware/find_file.h"
#include "firmware/upgrade.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr char kRecoveryImagePrefix[] = "Z6recovery_";
constexpr double kNameVersionScale = 10000.0;

// The version the file name carries after the prefix: "Z6recovery_9600.bin"
// is 0.96. A name without digits there gives 0.
double versionFromName(const char* name) {
    const long number = std::strtol(name + std::strlen(kRecoveryImagePrefix), nullptr, 10);
    return static_cast<double>(number) / kNameVersionScale;
}

}  // namespace

std::int32_t loadRecoveryImageStep(TestContext* context) {
    char name[kFileNameSize] = {};
    findFileByPrefix(kRecoveryImagePrefix, name);
    if (const std::int32_t code = upgrade(context->handle, name)) return failCommError(context, code);
    text::format(context->details, "Recovery Image %0.04f Loaded", versionFromName(name));
    context->resultState = Passed;
    return 0;
}
