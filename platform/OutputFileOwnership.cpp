#include <utility>

#include "platform/OutputFile.h"

// The ownership of the file, the same on every platform; the calls on it are the platform's.
namespace platform {

// The moved-from object must hold nothing, or its destruction would remove the file.
OutputFile::OutputFile(OutputFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoFile)),
      removable_(std::exchange(other.removable_, false)),
      writtenPath_(std::move(other.writtenPath_)),
      replacedPath_(std::move(other.replacedPath_)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Discard();
    handle_ = std::exchange(other.handle_, kNoFile);
    removable_ = std::exchange(other.removable_, false);
    writtenPath_ = std::move(other.writtenPath_);
    replacedPath_ = std::move(other.replacedPath_);
  }
  return *this;
}

OutputFile::~OutputFile() {
  Discard();
}

}  // namespace platform
