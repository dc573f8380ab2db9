#include "firmware/upgrade.h"

#include "device/device_codes.h"
#include "device/flash.h"
#include "device/identity_registers.h"
#include "device/mbfb.h"
#include "device/registers.h"
#include "firmware/image_file.h"
#include "firmware/image_kinds.h"
#include "platform/clock.h"
#include "sequencer/console_io.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr std::int32_t kRestartRegister = 61996;
constexpr std::uint32_t kRestartKey = 0x44510020;

// Boot loaders older than this take much longer to start a new image.
constexpr double kFastRestartBootstrap = 0.89;
constexpr std::uint32_t kFastRestartWaitMs = 14000;
constexpr std::uint32_t kSlowRestartWaitMs = 40000;
constexpr std::uint32_t kRestartPollMs = 100;

// The refusal for each image file status.
struct StatusCode {
    std::int32_t status;
    std::int32_t code;
};
constexpr StatusCode kStatusCodes[] = {
    {kImageCannotOpen, device::kImageCannotOpen},
    {kImageNotReadToEnd, device::kImageNotReadToEnd},
    {kImageBadMagic, device::kImageBadMagic},
    {kImageTooShort, device::kImageTooShort},
};

std::int32_t codeForStatus(std::int32_t status) {
    for (const StatusCode& entry : kStatusCodes)
        if (entry.status == status) return entry.code;
    return device::kImageNotReadToEnd;
}

enum UpgradeState : int {
    kCheckingDevice,
    kCheckingFile,
    kErasing,
    kErasingInfoPage,
    kWriting,
    kWritingInfoPage,
    kRestarting,
    kWaiting,
    kFinalCheck,
};

class Upgrade {
public:
    Upgrade(std::int32_t handle, ImageFile& image) : handle_(handle), image_(image) {}

    // Runs the current state's action once. Returns 0 or the error that ends
    // the upgrade; complete is set when the upgrade has finished.
    std::int32_t step(bool& complete) {
        const std::int32_t code = (this->*kStates[state_].action)();
        complete = complete_;
        return code;
    }

    // Whether the state table is indexed by state (checked when compiled).
    static constexpr bool statesInOrder();

private:
    struct State {
        UpgradeState state;
        const char* name;
        std::int32_t (Upgrade::*action)();
    };
    static const State kStates[];

    std::int32_t checkDevice();
    std::int32_t checkFile();
    std::int32_t erasePage();
    std::int32_t eraseInfoPage();
    std::int32_t writePage();
    std::int32_t writeInfoPage();
    std::int32_t restart();
    std::int32_t waitForRestart();
    std::int32_t finalCheck();

    std::int32_t handle_;
    ImageFile& image_;
    UpgradeState state_ = kCheckingDevice;
    bool complete_ = false;
    const ImageKind* kind_ = nullptr;
    std::uint32_t payloadLength_ = 0;
    std::uint32_t pagesToWrite_ = 0;
    std::uint32_t pagesErased_ = 0;
    std::uint32_t pagesWritten_ = 0;
    std::uint32_t restartWaitMs_ = 0;
    std::uint32_t restartTick_ = 0;
};

constexpr Upgrade::State Upgrade::kStates[] = {
    {kCheckingDevice, "Checking Daqora Device\r\n", &Upgrade::checkDevice},
    {kCheckingFile, "Checking Upgrade File\r\n", &Upgrade::checkFile},
    {kErasing, "Erasing: ", &Upgrade::erasePage},
    {kErasingInfoPage, "Erasing Info Page\r\n", &Upgrade::eraseInfoPage},
    {kWriting, "Writing: ", &Upgrade::writePage},
    {kWritingInfoPage, "Writing Info Page\r\n", &Upgrade::writeInfoPage},
    {kRestarting, "Restarting\r\n", &Upgrade::restart},
    {kWaiting, "Waiting: ", &Upgrade::waitForRestart},
    {kFinalCheck, "Final Check\r\n", &Upgrade::finalCheck},
};

// The table is indexed by state.
constexpr bool Upgrade::statesInOrder() {
    for (int i = 0; i < static_cast<int>(std::size(kStates)); ++i)
        if (kStates[i].state != i) return false;
    return std::size(kStates) == kFinalCheck + 1;
}
static_assert(Upgrade::statesInOrder());

std::int32_t Upgrade::checkDevice() {
    MbfbOperation versions[] = {
        MbfbOperation::read(identity_reg::kFirmwareVersion, 2, kMbfbF32),
        MbfbOperation::read(identity_reg::kBootstrapVersion, 2, kMbfbF32),
    };
    if (const std::int32_t code = mbfbTransact(handle_, 2, versions)) return code;
    const double bootstrap = versions[1].f32();
    restartWaitMs_ = bootstrap >= kFastRestartBootstrap ? kFastRestartWaitMs : kSlowRestartWaitMs;
    state_ = kCheckingFile;
    return 0;
}

// Nothing is erased until the image is known to be whole and to fit.
std::int32_t Upgrade::checkFile() {
    if (image_.path[0] == '\0') return device::kImageNotFound;
    if (image_.status == kImageOk && image_.length < kImageHeaderSize) image_.status = kImageTooShort;
    ImageHeader header;
    if (const std::int32_t status = parseHeader(image_, header)) return codeForStatus(status);

    kind_ = findImageKind(header.typeCode);
    if (kind_ == nullptr) return device::kUnknownImageType;
    payloadLength_ = header.payloadLength;
    if (payloadLength_ == 0 || payloadLength_ > kind_->pagesToErase * kFlashPageSize)
        return device::kImagePayloadLengthInvalid;
    if (image_.length - kImageHeaderSize < payloadLength_) return device::kImagePayloadMissing;
    // A last page only partly filled is written too.
    pagesToWrite_ = (payloadLength_ + kFlashPageSize - 1) / kFlashPageSize;
    if (!kind_->restart) restartWaitMs_ = 0;
    state_ = kErasing;
    return 0;
}

std::int32_t Upgrade::erasePage() {
    const std::int32_t code = flashErase(handle_, kind_->image.key, kind_->image.start + kFlashPageSize * pagesErased_);
    ++pagesErased_;
    if (pagesErased_ == kind_->pagesToErase) state_ = kErasingInfoPage;
    return code;
}

std::int32_t Upgrade::eraseInfoPage() {
    state_ = kWriting;
    return flashErase(handle_, kind_->header.key, kind_->header.start);
}

std::int32_t Upgrade::writePage() {
    const std::uint32_t offset = kFlashPageSize * pagesWritten_;
    const std::uint8_t* source = image_.data.get() + kImageHeaderSize + offset;
    // The part of a last page past the payload stays erased (0xFF).
    std::uint8_t page[kFlashPageSize];
    const std::uint32_t inPayload = std::min(kFlashPageSize, payloadLength_ - offset);
    if (inPayload < kFlashPageSize) {
        std::memset(page, 0xFF, sizeof page);
        std::memcpy(page, source, inPayload);
        source = page;
    }
    const std::int32_t code =
        flashWrite(handle_, kind_->image.key, kind_->image.start + offset, kFlashPageSize, source);
    ++pagesWritten_;
    if (pagesWritten_ == pagesToWrite_) state_ = kWritingInfoPage;
    return code;
}

std::int32_t Upgrade::writeInfoPage() {
    state_ = kind_->restart ? kRestarting : kFinalCheck;
    return flashWrite(handle_, kind_->header.key, kind_->header.start, kImageHeaderSize, image_.data.get());
}

std::int32_t Upgrade::restart() {
    const std::int32_t code = writeU32(handle_, kRestartRegister, kRestartKey);
    // Measured on the tick counter, so that a change of the calendar clock
    // cannot stretch or cut the wait.
    restartTick_ = platform::tickCount();
    state_ = kWaiting;
    return code;
}

// The device goes away to start the new image; only a fixed time is waited.
std::int32_t Upgrade::waitForRestart() {
    if (platform::tickCount() - restartTick_ < restartWaitMs_) {
        platform::sleepMs(kRestartPollMs);
    } else {
        state_ = kFinalCheck;
    }
    return 0;
}

std::int32_t Upgrade::finalCheck() {
    complete_ = true;
    return 0;
}

}  // namespace

std::int32_t upgrade(std::int32_t handle, const char* imageName) {
    ImageFile image(imageName);
    Upgrade procedure(handle, image);
    for (;;) {
        bool complete = false;
        if (const std::int32_t code = procedure.step(complete)) {
            print("\r\nError: %i\r\n", code);
            return code;
        }
        if (complete) return 0;
    }
}
