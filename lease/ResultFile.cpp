#include "lease/ResultFile.h"

#include <utility>

#include "lease/ConsoleLine.h"

namespace lease {
namespace {
// Large enough that the system call per write disappears from the cost of a million records.
constexpr std::size_t kBufferSize = 256 * 1024;
}  // namespace

std::optional<ResultFile> ResultFile::Open(const std::string& fileName) {
  std::optional<platform::OutputFile> file = platform::OutputFile::Create(fileName);
  if (!file) {
    WriteErrorLine("Cannot open file " + fileName + ".");
    return std::nullopt;
  }
  return ResultFile(fileName, std::move(*file));
}

ResultFile::ResultFile(std::string fileName, platform::OutputFile file)
    : fileName_(std::move(fileName)), file_(std::move(file)) {
  buffer_.reserve(kBufferSize);
}

// The moved-from object must not hold the file, or its destruction would remove it.
ResultFile::ResultFile(ResultFile&& other) noexcept
    : fileName_(std::move(other.fileName_)),
      file_(std::exchange(other.file_, std::nullopt)),
      buffer_(std::move(other.buffer_)),
      failed_(other.failed_) {}

ResultFile::~ResultFile() {
  Discard();
}

void ResultFile::Write(std::string_view bytes) {
  if (failed_) {
    return;
  }
  if (buffer_.size() + bytes.size() <= kBufferSize) {
    buffer_.append(bytes);
    return;
  }
  Flush();
  if (bytes.size() < kBufferSize) {
    buffer_.append(bytes);
  } else if (!failed_) {
    failed_ = !file_->Write(bytes);
  }
}

void ResultFile::Flush() {
  if (!failed_ && !buffer_.empty()) {
    failed_ = !file_->Write(buffer_);
  }
  buffer_.clear();
}

// An incomplete result is no result: what was written goes, and the target stays as it was.
void ResultFile::Discard() {
  if (file_) {
    file_->Discard();
    file_.reset();
  }
}

bool ResultFile::Finish() {
  Flush();
  if (failed_ || !file_->Commit()) {
    Discard();
    WriteErrorLine("Cannot write file " + fileName_ + ".");
    return false;
  }
  file_.reset();
  WriteConsoleLine("Query results have been saved to file " + fileName_ + ".");
  return true;
}

}  // namespace lease
