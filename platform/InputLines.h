#pragma once

#include <cstddef>
#include <functional>

#include "platform/Console.h"

namespace platform {

// What one read of standard input gave: bytes, the end of the input, or a failure.
struct InputChunk {
  std::size_t count = 0;  // bytes placed in the buffer; 0 with `ok` is the end of the input
  IoStatus status;
};

// Reads standard input through `readChunk` until a whole line is there and hands it out without
// its line end (LF or CR LF). A read may bring several lines or part of one: what is left waits
// for the next call. At the end of the input the rest is the last line.
StandardInputLine ReadLineFrom(const std::function<InputChunk(char*, std::size_t)>& readChunk);

}  // namespace platform
