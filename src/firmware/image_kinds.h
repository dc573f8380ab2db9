// What the device does with an image, by the type code in its header: which
// flash regions receive the payload and the header, how much of the image
// region is erased first, and whether the device restarts into it.
#pragma once

#include "device/flash.h"

#include <array>
#include <cstdint>

struct ImageKind {
    const char* name;
    std::array<std::uint32_t, 3> typeCodes;  // 0: no more codes
    FlashRegion image;                       // receives the payload
    FlashRegion header;                      // receives the 128-byte header
    std::uint32_t pagesToErase;              // 4 KB pages of the image region
    bool restart;                            // the device restarts into the image
};

// The kind of an image type code, or nullptr for a code the station does
// not program.
const ImageKind* findImageKind(std::uint32_t typeCode);
