// Firmware image files: a 128-byte header, then the payload that goes into
// the device's image region. Header fields are most significant byte first.
//
//   0  "DQFX"               24  payload length in bytes
//   4  type code            28  32-bit word
//   8  version (float)      76  20-byte block
//  12  second version       96  20-byte block
//  16  16-bit word
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr std::uint32_t kImageHeaderSize = 128;
constexpr std::size_t kImagePathSize = 2048;
// Nothing larger fits the device's 4 MB flash; a bigger file is not read.
constexpr std::uint32_t kMaxImageFileSize = 0x400000 + kImageHeaderSize;

// ImageFile::status. 4 is not used.
enum ImageStatus : std::int32_t {
    kImageOk = 0,
    kImageCannotOpen = 1,
    kImageNotReadToEnd = 2,  // also a file too large to be an image
    kImageBadMagic = 3,      // does not start with "DQFX"
    kImageTooShort = 5,      // shorter than its header; set by the upgrade
};

// A firmware image read whole into memory.
struct ImageFile {
    // Reads the file at path (cut at its first line feed).
    explicit ImageFile(const char* path);

    std::uint32_t length = 0;               // bytes read
    std::unique_ptr<std::uint8_t[]> data;   // the file, plus one spare byte
    char path[kImagePathSize] = {};
    std::int32_t status = kImageCannotOpen;
};

struct ImageHeader {
    std::uint32_t typeCode = 0;
    float version = 0.0f;
    float secondVersion = 0.0f;
    std::uint16_t word16 = 0;
    std::uint32_t payloadLength = 0;
    std::uint32_t word32 = 0;
    std::uint8_t block96[20] = {};
    std::uint8_t block76[20] = {};
};

// Decodes the header of a file read with status 0. Returns the file's status
// when it is not 0, kImageTooShort when the file is shorter than a header
// (header then untouched), else 0.
std::int32_t parseHeader(const ImageFile& file, ImageHeader& header);

// A version field: a big-endian float, or, when that is above 1000 or below
// 0, the older form of byte 2 plus byte 3 hundredths.
float decodeImageVersion(const std::uint8_t* field);
