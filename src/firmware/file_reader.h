// Reads a whole file into memory, without text translation. The file is
// closed on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

enum class FileReadResult {
    Read,          // every byte up to the end of the file
    CannotOpen,    // the file cannot be opened for reading
    TooLarge,      // larger than maxSize: not read
    NotReadToEnd,  // its size cannot be taken, or the read stopped early
};

struct FileContents {
    std::uint32_t length = 0;              // bytes read
    std::unique_ptr<std::uint8_t[]> data;  // length + spareBytes bytes, the spare ones zero
};

// Reads the file at path whose size is at most maxSize bytes into a buffer
// spareBytes larger than the file (at least 1, so that the read can see the
// end of the file). On a result other than Read, contents may hold what was
// read so far.
FileReadResult readWholeFile(const char* path, std::uint32_t maxSize, std::uint32_t spareBytes,
                             FileContents& contents);
