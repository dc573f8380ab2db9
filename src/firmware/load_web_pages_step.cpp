// "Load web pages": writes the packed web-page file, unchanged, to the start
// of the device's flash after erasing the 2 MB web-page region.
#include "device/flash.h"
#include "firmware/file_reader.h"
#include "firmware/find_file.h"
#include "sequencer/step_report.h"
#include "sequencer/steps.h"

namespace {

constexpr char kWebPagesPrefix[] = "PackedWebPages";
constexpr std::uint32_t kWebPagesSize = 0x200000;
constexpr std::uint32_t kWebPagesPages = kWebPagesSize / kFlashPageSize;
// The file is written in whole 4-byte words and one word of zeros beyond its
// last whole word, never past the end of the region.
constexpr std::uint32_t kWordSize = 4;
constexpr std::uint32_t kSpareBytes = 16;

std::int32_t failWith(TestContext* context, const char* details) {
    context->resultState = Fatal;
    text::copy(context->details, details);
    return 1;
}

}  // namespace

std::int32_t loadWebPagesStep(TestContext* context) {
    context->resultState = Passed;
    char name[kFileNameSize] = {};
    findFileByPrefix(kWebPagesPrefix, name);

    // A file too big for the region is refused here, before anything is erased.
    FileContents file;
    switch (readWholeFile(name, kWebPagesSize, kSpareBytes, file)) {
        case FileReadResult::CannotOpen:
            // A station without a web-page file skips the load; the row stays Passed.
            text::copy(context->details, "No webpage file found.");
            return 1;
        case FileReadResult::TooLarge: return failWith(context, "Webpage file larger than its 2 MB flash region.");
        case FileReadResult::NotReadToEnd: return failWith(context, "Webpage file could not be read whole.");
        case FileReadResult::Read: break;
    }

    const FlashRegion& region = flash::kWebPages;
    for (std::uint32_t page = 0; page < kWebPagesPages; ++page) {
        if (const std::int32_t code = flashErase(context->handle, region.key, region.start + page * kFlashPageSize))
            return failCommError(context, code);
    }
    std::uint32_t writeLength = file.length / kWordSize * kWordSize + kWordSize;
    // A file that fills the region has no room for the word of zeros after it.
    if (writeLength > kWebPagesSize) writeLength = kWebPagesSize;
    if (const std::int32_t code = flashWrite(context->handle, region.key, region.start, writeLength, file.data.get()))
        return failCommError(context, code);

    text::format(context->details, "Loaded %i bytes", static_cast<std::int32_t>(file.length));
    return 0;
}
