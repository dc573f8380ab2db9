// What a factory station keeps in its working directory, for station runs
// in process and end to end: a recovery image (Z6recovery_9600.bin, version
// 0.96, 32 KB). Later the station configuration file joins it.
#pragma once

#include <filesystem>

namespace testing_support {

void writeStationFiles(const std::filesystem::path& directory);

}  // namespace testing_support
