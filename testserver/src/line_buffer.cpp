#include "line_buffer.h"

namespace testserver {

LineBuffer::LineBuffer(std::size_t maxLine) : maxLine_(maxLine) {}

void LineBuffer::append(std::string_view bytes) {
    if (skipping_) {
        const std::size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            skipped_ += bytes.size();
            return;
        }
        skipping_ = false;
        skipped_ = 0;
        bytes.remove_prefix(end + 1);
    }
    buffer_.append(bytes);
}

std::optional<LineBuffer::Item> LineBuffer::next() {
    const std::size_t end = buffer_.find('\n');
    if (end == std::string::npos) {
        if (buffer_.size() <= maxLine_) return std::nullopt;
        skipping_ = true;
        skipped_ = buffer_.size();
        buffer_.clear();
        return Item{true, {}};
    }
    std::size_t length = end;
    if (length > 0 && buffer_[length - 1] == '\r') --length;
    Item item;
    if (length > maxLine_) {
        item.tooLong = true;
    } else {
        item.text = buffer_.substr(0, length);
    }
    buffer_.erase(0, end + 1);
    return item;
}

}  // namespace testserver
