#include "support/station_files.h"

#include "z6/firmware_image.h"

namespace testing_support {

void writeStationFiles(const std::filesystem::path& directory) {
    z6::writeImageFile(directory / "Z6recovery_9600.bin", z6::kRecoveryImageType, 0.96f, z6::patternPayload(0x8000));
}

}  // namespace testing_support
