#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/Console.h"

namespace platform {

// What one read of standard input gave: bytes, the end of the input, or a failure.
struct InputChunk {
  std::size_t count = 0;  // bytes placed in the buffer; 0 with `ok` is the end of the input
  IoStatus status;
};

using ChunkReader = std::function<InputChunk(char*, std::size_t)>;

// The longest answer line taken; a longer one is an input error, not a buffer without end.
inline constexpr std::size_t kLongestInputLine = 64 * 1024;

// Splits standard input into answer lines, each byte looked at once. A line ends at LF, CR LF or
// a CR alone (CR LF also when the two arrive in different reads); a NUL byte ends the answer, and
// the rest of its line is dropped, so that what is shown and what is used are the same text. A
// UTF-8 byte-order mark at the very start of the input is skipped. A read may bring several lines
// or part of one: what is left waits for the next call. At the end of the input the rest is the
// last line.
class InputLineReader {
 public:
  StandardInputLine Next(const ChunkReader& readChunk);

 private:
  // A whole line in `pending_`, or false when more input is needed.
  bool TakeLine(StandardInputLine& line);
  StandardInputLine TakeRest();
  void DropByteOrderMark();

  std::string pending_;
  std::size_t scanned_ = 0;  // bytes of `pending_` known to hold no line end
  bool atStart_ = true;
  bool ended_ = false;
  bool dropLineFeed_ = false;
};

// The process's one reader of standard input.
StandardInputLine ReadLineFrom(const ChunkReader& readChunk);

}  // namespace platform
