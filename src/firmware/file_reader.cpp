#include "firmware/file_reader.h"

#include <cstdio>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

FileReadResult readWholeFile(const char* path, std::uint32_t maxSize, std::uint32_t spareBytes,
                             FileContents& contents) {
    contents = {};
    const OpenFile file(std::fopen(path, "rb"));
    if (!file) return FileReadResult::CannotOpen;

    if (std::fseek(file.get(), 0, SEEK_END) != 0) return FileReadResult::NotReadToEnd;
    const long size = std::ftell(file.get());
    if (size < 0) return FileReadResult::NotReadToEnd;
    if (static_cast<unsigned long>(size) > maxSize) return FileReadResult::TooLarge;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) return FileReadResult::NotReadToEnd;

    if (spareBytes == 0) spareBytes = 1;
    // Asking for more than the size makes the read meet the end of the file;
    // a file that grew meanwhile is not read to its end.
    const std::size_t capacity = static_cast<std::size_t>(size) + spareBytes;
    contents.data = std::make_unique<std::uint8_t[]>(capacity);
    const std::size_t read = std::fread(contents.data.get(), 1, capacity, file.get());
    contents.length = static_cast<std::uint32_t>(read);
    if (read > static_cast<std::size_t>(size) || !std::feof(file.get())) return FileReadResult::NotReadToEnd;
    return FileReadResult::Read;
}
