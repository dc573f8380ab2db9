#include "z6/firmware_image.h"

#include "z6/byte_order.h"

#include <fstream>
#include <stdexcept>

namespace z6 {

namespace {
constexpr std::uint8_t kMagic[] = {'D', 'Q', 'F', 'X'};
}  // namespace

std::vector<std::uint8_t> makeImageHeader(const ImageHeaderFields& fields) {
    std::vector<std::uint8_t> header(kImageHeaderSize, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), header.begin());
    storeU32(header.data() + 4, fields.typeCode);
    storeF32(header.data() + 8, fields.version);
    storeF32(header.data() + 12, fields.version);
    storeU32(header.data() + 24, fields.payloadLength);
    return header;
}

std::vector<std::uint8_t> makeImage(std::uint32_t typeCode, float version, std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> image =
        makeImageHeader({typeCode, version, static_cast<std::uint32_t>(payload.size())});
    image.insert(image.end(), payload.begin(), payload.end());
    return image;
}

std::vector<std::uint8_t> patternPayload(std::size_t length) {
    std::vector<std::uint8_t> payload(length);
    for (std::size_t i = 0; i < length; ++i) {
        payload[i] = static_cast<std::uint8_t>((i % 251) ^ ((i / 4096) * 0x35));
        if (payload[i] == 0xFF) payload[i] = 0x5A;
    }
    return payload;
}

void writeImageFile(const std::filesystem::path& path, std::uint32_t typeCode, float version,
                    std::span<const std::uint8_t> payload) {
    const std::vector<std::uint8_t> image = makeImage(typeCode, version, payload);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write image file " + path.string());
}

}  // namespace z6
