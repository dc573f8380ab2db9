// A console that keeps everything written to it, answers reads from a script
// and remembers where the window was placed.
#pragma once

#include "platform/console.h"

#include <string>

namespace testing_support {

class RecordingConsole : public platform::Console {
public:
    explicit RecordingConsole(std::string input = {}) : input_(std::move(input)) {
        previous_ = platform::installConsole(this);
    }
    ~RecordingConsole() override { platform::installConsole(previous_); }
    RecordingConsole(const RecordingConsole&) = delete;
    RecordingConsole& operator=(const RecordingConsole&) = delete;

    void write(std::string_view text) override { output_.append(text); }
    int readChar() override {
        ++reads_;
        if (inputPos_ >= input_.size()) return -1;
        return static_cast<unsigned char>(input_[inputPos_++]);
    }
    void placeWindow(int x, int y, int width, int height) override {
        windowX = x;
        windowY = y;
        windowWidth = width;
        windowHeight = height;
    }

    const std::string& output() const { return output_; }
    void clear() { output_.clear(); }
    int reads() const { return reads_; }

    int windowX = -1, windowY = -1, windowWidth = -1, windowHeight = -1;

private:
    platform::Console* previous_;
    std::string output_;
    std::string input_;
    std::size_t inputPos_ = 0;
    int reads_ = 0;
};

}  // namespace testing_support
