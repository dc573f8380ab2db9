#include "firmware/image_file.h"

#include "firmware/file_reader.h"
#include "sequencer/text.h"

#include <cstring>

namespace {

constexpr char kMagic[4] = {'D', 'Q', 'F', 'X'};

std::uint32_t loadU32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 24 | static_cast<std::uint32_t>(bytes[1]) << 16 |
           static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
}

float loadF32(const std::uint8_t* bytes) {
    const std::uint32_t bits = loadU32(bytes);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

ImageFile::ImageFile(const char* name) {
    text::copy(path, name);
    if (char* lineFeed = std::strchr(path, '\n')) *lineFeed = '\0';

    FileContents contents;
    const FileReadResult result = readWholeFile(path, kMaxImageFileSize, 1, contents);
    length = contents.length;
    data = std::move(contents.data);
    if (result == FileReadResult::CannotOpen) {
        status = kImageCannotOpen;
    } else if (result != FileReadResult::Read) {
        status = kImageNotReadToEnd;
    } else if (length < sizeof kMagic || std::memcmp(data.get(), kMagic, sizeof kMagic) != 0) {
        status = kImageBadMagic;
    } else {
        status = kImageOk;
    }
}

float decodeImageVersion(const std::uint8_t* field) {
    const float value = loadF32(field);
    if (value > 1000.0f || value < 0.0f) return static_cast<float>(field[2]) + static_cast<float>(field[3]) / 100.0f;
    return value;
}

std::int32_t parseHeader(const ImageFile& file, ImageHeader& header) {
    if (file.status != kImageOk) return file.status;
    if (file.length < kImageHeaderSize) return kImageTooShort;
    const std::uint8_t* bytes = file.data.get();
    header.typeCode = loadU32(bytes + 4);
    header.version = decodeImageVersion(bytes + 8);
    header.secondVersion = decodeImageVersion(bytes + 12);
    header.word16 = static_cast<std::uint16_t>(bytes[16] << 8 | bytes[17]);
    header.payloadLength = loadU32(bytes + 24);
    header.word32 = loadU32(bytes + 28);
    std::memcpy(header.block96, bytes + 96, sizeof header.block96);
    std::memcpy(header.block76, bytes + 76, sizeof header.block76);
    return 0;
}
