#include <utility>

#include "platform/OutputFile.h"

// The ownership of the file, the same on every platform; the calls on it are the platform's.
namespace platform {

OutputFile::OutputFile(OutputFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoFile)), regular_(other.regular_) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoFile);
    regular_ = other.regular_;
  }
  return *this;
}

OutputFile::~OutputFile() {
  Close();
}

}  // namespace platform
