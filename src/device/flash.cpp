#include "device/flash.h"

#include "device/device_codes.h"
#include "device/mbfb.h"

#include "DaqoraM.h"

#include <cstring>

namespace {

constexpr std::int32_t kKeyRegister = 61800;
constexpr std::int32_t kPointerRegister = 61810;
constexpr std::int32_t kDataRegister = 61812;
constexpr std::int32_t kEraseRegister = 61820;
constexpr std::int32_t kProgramRegister = 61830;
constexpr std::uint32_t kPageMask = ~(kFlashPageSize - 1) & 0xFFFFFF;

// One pass over the chunks. A busy chunk read asks for a restart: its code
// goes to restart and the pass ends with it. Any other failure, also a busy
// answer to the key and pointer set-up, is returned as it is.
std::int32_t readChunks(std::int32_t handle, std::uint32_t key, std::uint32_t address, std::uint32_t chunks,
                        std::uint8_t* buffer, bool& restart) {
    restart = false;
    MbfbOperation setup[] = {
        {kKeyRegister, 2, kMbfbU32, static_cast<double>(key)},
        {kPointerRegister, 2, kMbfbU32, static_cast<double>(address)},
        MbfbOperation::read(kKeyRegister, 2, kMbfbU32),
        MbfbOperation::read(kPointerRegister, 2, kMbfbU32),
    };
    if (const std::int32_t code = mbfbTransact(handle, 4, setup)) return code;

    MbfbOperation chunk[] = {
        {kPointerRegister, 2, kMbfbU32, 0.0},
        MbfbOperation::read(kDataRegister, kFlashChunkSize / 2, kMbfbBytes),
    };
    for (std::uint32_t i = 0; i < chunks; ++i) {
        chunk[0].setValue(kPointerRegister, 2, kMbfbU32, static_cast<double>(address + kFlashChunkSize * i));
        if (const std::int32_t code = mbfbTransact(handle, 2, chunk)) {
            restart = code == DQM_ERR_FLASH_READ_RETRY;
            return code;
        }
        std::memcpy(buffer + kFlashChunkSize * i, chunk[1].data, kFlashChunkSize);
    }
    return 0;
}

}  // namespace

std::int32_t flashRead(std::int32_t handle, std::uint32_t key, std::uint32_t address, std::uint32_t length,
                       std::uint8_t* buffer) {
    const std::uint32_t chunks = length / kFlashChunkSize;
    std::int32_t code = 0;
    // A busy chunk restarts the whole read from the key write, a bounded
    // number of times.
    for (int attempt = 0; attempt <= kFlashReadMaxRestarts; ++attempt) {
        bool restart = false;
        code = readChunks(handle, key, address, chunks, buffer, restart);
        if (!restart) return code;
    }
    return code;
}

std::int32_t flashErase(std::int32_t handle, std::uint32_t key, std::uint32_t pageAddress) {
    MbfbOperation ops[] = {
        {kKeyRegister, 2, kMbfbU32, static_cast<double>(key)},
        {kEraseRegister, 2, kMbfbU32, static_cast<double>(pageAddress)},
    };
    return mbfbTransact(handle, 2, ops);
}

std::int32_t flashWrite(std::int32_t handle, std::uint32_t key, std::uint32_t address, std::uint32_t length,
                        const std::uint8_t* data) {
    if (length % 2 != 0) return device::kFlashRefused;
    MbfbOperation ops[2];
    for (std::uint32_t done = 0; done < length; done += kFlashChunkSize) {
        const std::uint32_t size = length - done < kFlashChunkSize ? length - done : kFlashChunkSize;
        std::uint8_t payload[4 + kFlashChunkSize];
        const std::uint32_t chunkAddress = address + done;
        payload[0] = static_cast<std::uint8_t>(chunkAddress >> 24);
        payload[1] = static_cast<std::uint8_t>(chunkAddress >> 16);
        payload[2] = static_cast<std::uint8_t>(chunkAddress >> 8);
        payload[3] = static_cast<std::uint8_t>(chunkAddress);
        std::memcpy(payload + 4, data + done, size);
        ops[0] = MbfbOperation(kKeyRegister, 2, kMbfbU32, static_cast<double>(key));
        ops[1] = MbfbOperation(kProgramRegister, static_cast<std::int32_t>(2 + size / 2), payload);
        if (const std::int32_t code = mbfbTransact(handle, 2, ops)) return code;
    }
    return 0;
}

std::int32_t flashUpdate(std::int32_t handle, std::uint32_t key, std::uint32_t address, std::uint32_t length,
                         const std::uint8_t* data) {
    const std::uint32_t offset = address % kFlashPageSize;
    const std::uint32_t page = address & kPageMask;
    // The range must lie inside one page; a length of 0 at the very start of
    // a page wraps here and counts as leaving it.
    if (length > kFlashPageSize || offset + length - 1 >= kFlashPageSize) return device::kFlashRefused;

    std::uint8_t copy[kFlashPageSize];
    if (const std::int32_t code = flashRead(handle, key, page, kFlashPageSize, copy)) return code;

    bool eraseNeeded = false;
    bool writeNeeded = false;
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint8_t before = copy[offset + i];
        const std::uint8_t after = data[i];
        if (after & ~before) eraseNeeded = true;  // a 0 bit must become 1
        if (before & ~after) writeNeeded = true;  // a 1 bit must become 0
        copy[offset + i] = after;
    }
    if (eraseNeeded) {
        if (const std::int32_t code = flashErase(handle, key, page)) return code;
        return flashWrite(handle, key, page, kFlashPageSize, copy);
    }
    if (writeNeeded) return flashWrite(handle, key, page, kFlashPageSize, copy);
    return 0;
}
