#include "support/scripted_serial.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace testing_support {

ScriptedSerialPorts::ScriptedSerialPorts(platform::VirtualClock& clock) : clock_(clock) {
    previous_ = platform::installSerialPorts(this);
}

ScriptedSerialPorts::~ScriptedSerialPorts() {
    platform::installSerialPorts(previous_);
    EXPECT_TRUE(script_.empty()) << script_.size() << " expected writes never came, the next: "
                                 << (script_.empty() ? "" : script_.front().text);
}

void ScriptedSerialPorts::expect(const std::string& text, const std::string& reply, std::uint32_t afterMs) {
    script_.push_back({text, reply, afterMs});
}

void ScriptedSerialPorts::arrive(const std::string& bytes) { schedule(clock_.elapsedMs(), bytes); }

void ScriptedSerialPorts::schedule(std::uint64_t atMs, const std::string& bytes) {
    auto later = arrivals_.begin();
    while (later != arrivals_.end() && later->atMs <= atMs) ++later;
    arrivals_.insert(later, {atMs, bytes});
}

platform::SerialHandle ScriptedSerialPorts::open(const wchar_t* name) {
    ++opens;
    if (openFailure != 0 || std::wcscmp(name, L"COM1") != 0) {
        lastError_ = openFailure != 0 ? openFailure : portMissingCode();
        return platform::kInvalidSerialHandle;
    }
    if (open_) {
        lastError_ = portInUseCode();
        return platform::kInvalidSerialHandle;
    }
    open_ = true;
    return kHandle;
}

bool ScriptedSerialPorts::usable(platform::SerialHandle port) {
    if (open_ && port == kHandle) return true;
    lastError_ = EBADF;
    return false;
}

bool ScriptedSerialPorts::setTimeouts(platform::SerialHandle port, const platform::SerialTimeouts& t) {
    if (!usable(port)) return false;
    if (refuseTimeouts) {
        lastError_ = EINVAL;
        return false;
    }
    timeouts = t;
    return true;
}

bool ScriptedSerialPorts::setSettings(platform::SerialHandle port, const platform::SerialSettings& s) {
    if (!usable(port)) return false;
    if (refuseSettings) {
        lastError_ = EINVAL;
        return false;
    }
    settings = s;
    return true;
}

bool ScriptedSerialPorts::write(platform::SerialHandle port, const void* data, std::uint32_t length,
                                std::uint32_t& written) {
    written = 0;
    if (!usable(port)) return false;
    const std::string text(static_cast<const char*>(data), length);
    writes.push_back({clock_.elapsedMs(), text});
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected write: " << text;
    } else {
        const Exchange next = script_.front();
        script_.pop_front();
        EXPECT_EQ(next.text, text);
        if (!next.reply.empty()) schedule(clock_.elapsedMs() + next.afterMs, next.reply);
    }
    written = length;
    return true;
}

void ScriptedSerialPorts::deliver() {
    while (!arrivals_.empty() && arrivals_.front().atMs <= clock_.elapsedMs()) {
        received_ += arrivals_.front().bytes;
        arrivals_.pop_front();
    }
}

bool ScriptedSerialPorts::read(platform::SerialHandle port, void* buffer, std::uint32_t length,
                               std::uint32_t& received) {
    received = 0;
    readLengths.push_back(length);
    if (!usable(port)) return false;
    deliver();
    received = static_cast<std::uint32_t>(std::min<std::size_t>(length, received_.size()));
    std::memcpy(buffer, received_.data(), received);
    received_.erase(0, received);
    return true;
}

bool ScriptedSerialPorts::countWaiting(platform::SerialHandle port, std::uint32_t& count) {
    count = 0;
    if (!usable(port)) return false;
    deliver();
    count = static_cast<std::uint32_t>(received_.size());
    return true;
}

bool ScriptedSerialPorts::close(platform::SerialHandle port) {
    if (!usable(port)) return false;
    ++closes;
    open_ = false;
    return true;
}

}  // namespace testing_support
