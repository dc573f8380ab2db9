// Cuts received bytes into lines ending in LF (a CR before it is dropped),
// holding at most maxLine bytes of an unfinished line: a longer line is
// reported once and the rest of it skipped.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace testserver {

class LineBuffer {
public:
    explicit LineBuffer(std::size_t maxLine);

    void append(std::string_view bytes);

    struct Item {
        bool tooLong = false;  // the line was longer than maxLine; text is empty
        std::string text;      // without the line end
    };
    // The next whole line, or a line found too long; nullopt: none yet.
    std::optional<Item> next();

    // Bytes of an unfinished line held or being skipped.
    std::size_t pending() const { return skipping_ ? skipped_ : buffer_.size(); }
    // Bytes skipped of the current too-long line so far.
    std::size_t skipped() const { return skipped_; }

private:
    std::size_t maxLine_;
    std::string buffer_;
    bool skipping_ = false;
    std::size_t skipped_ = 0;
};

}  // namespace testserver
