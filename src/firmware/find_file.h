// Finds a file in or below the working directory by the beginning of its
// name, so that a file can carry its version in its name
// ("Z6recovery_9600.bin").
#pragma once

#include <cstddef>

constexpr std::size_t kFileNameSize = 128;

// Lists the working directory (files first, then subdirectories, the one
// found last first) and takes the first file whose name relative to it
// begins with prefix (case-sensitive); for a file in a subdirectory that name
// begins with the subdirectory's. On a match the name is copied into name
// and true returned; otherwise name is left as it was: also when some
// directory below could not be listed.
bool findFileByPrefix(const char* prefix, char (&name)[kFileNameSize]);
