#include "tests/support/StdoutCapture.h"

#include <unistd.h>

#include <stdexcept>

namespace test_support {

StdoutCapture::StdoutCapture() : file_(std::tmpfile()), savedStdout_(::dup(STDOUT_FILENO)) {
  if (file_ == nullptr || savedStdout_ < 0 || ::dup2(::fileno(file_), STDOUT_FILENO) < 0) {
    throw std::runtime_error("cannot capture standard output");
  }
}

StdoutCapture::~StdoutCapture() {
  ::dup2(savedStdout_, STDOUT_FILENO);
  ::close(savedStdout_);
  std::fclose(file_);
}

std::string StdoutCapture::Text() const {
  std::string text;
  char buffer[4096];
  int fd = ::fileno(file_);
  for (off_t offset = 0;;) {
    ssize_t count = ::pread(fd, buffer, sizeof buffer, offset);
    if (count <= 0) {
      return text;
    }
    text.append(buffer, static_cast<std::size_t>(count));
    offset += count;
  }
}

}  // namespace test_support
