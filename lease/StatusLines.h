#pragma once

#include <cstdint>

namespace lease {

// The error lines of one query, each an empty line and "Error: " with the status' text, and
// whether it wrote any: a query that did is not complete, and the run says so in its exit status.
class StatusLines {
 public:
  // A status for which the system has no text is written as its number, so that the line still
  // says which it was.
  void Write(std::uint32_t status);
  bool AnyWritten() const { return written_; }

 private:
  bool written_ = false;
};

}  // namespace lease
