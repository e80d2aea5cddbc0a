#include <utility>

#include "platform/Interrupts.h"
#include "platform/OutputFile.h"

// The ownership of the file and the steps of committing or discarding it, the same on every
// platform; the calls on it are the platform's.
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

// The new file reaches the disk before it takes the old one's name, so that a crash cannot leave
// an empty file under that name either.
bool OutputFile::Commit() {
  if (handle_ == kNoFile) {
    return false;
  }
  const bool replacing = !replacedPath_.empty();
  bool saved = CloseFile(std::exchange(handle_, kNoFile), replacing);
  if (saved && replacing) {
    saved = MoveOver(writtenPath_, replacedPath_);
  }
  if (saved) {
    removable_ = false;
    KeepOnInterrupt();
  } else {
    Discard();
  }
  return saved;
}

void OutputFile::Discard() {
  if (handle_ != kNoFile) {
    CloseFile(std::exchange(handle_, kNoFile), false);
  }
  if (std::exchange(removable_, false)) {
    RemovePath(writtenPath_);
    if (!replacedPath_.empty()) {
      KeepOnInterrupt();
    }
  }
}

}  // namespace platform
