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
      place_(std::exchange(other.place_, Place{})) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Discard();
    handle_ = std::exchange(other.handle_, kNoFile);
    removable_ = std::exchange(other.removable_, false);
    place_ = std::exchange(other.place_, Place{});
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
  const bool replacing = !place_.replaced.empty();
  bool saved = CloseFile(std::exchange(handle_, kNoFile), replacing);
  if (saved && replacing) {
    saved = MoveOver(place_);
  }
  if (!saved) {
    Discard();
    return false;
  }
  if (std::exchange(removable_, false)) {
    KeepOnInterrupt();
  }
  CloseFolder(std::exchange(place_.folder, kNoFile));
  return true;
}

void OutputFile::Discard() {
  if (handle_ != kNoFile) {
    CloseFile(std::exchange(handle_, kNoFile), false);
  }
  if (std::exchange(removable_, false)) {
    RemoveWritten(place_);
    KeepOnInterrupt();
  }
  CloseFolder(std::exchange(place_.folder, kNoFile));
}

}  // namespace platform
