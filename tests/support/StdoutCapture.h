#pragma once

#include <cstdio>
#include <string>

namespace test_support {

// Sends file descriptor 1 to a temporary file for the life of the object, so that tests can
// read exactly the bytes that the program's console writer wrote.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  std::string Text() const;

 private:
  std::FILE* file_;
  int savedStdout_;
};

}  // namespace test_support
