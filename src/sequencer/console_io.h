// Console output and input for the runner and the steps, through the
// platform console in use.
#pragma once

#include "sequencer/text.h"

#include <cstddef>

// Formats and writes to the console; no size limit.
void print(const char* format, ...) DQ_PRINTF_LIKE(1, 2);

// Reads up to count characters from the console into target, stopping early
// at end of input. Returns the number of characters read (0 at end of input).
std::size_t readInput(char* target, std::size_t count);
