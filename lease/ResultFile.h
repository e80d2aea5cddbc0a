#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/OutputFile.h"

namespace lease {

// A result file from its creation to the closing message, with the messages and the clean-up
// that both writers share. Nothing is reported saved unless every byte was written and the file
// closed; until then an existing file keeps its old content, and an incomplete one is removed
// rather than left behind.
class ResultFile {
 public:
  // Starts the file that replaces any existing one when finished; when it can be neither
  // created nor written, writes "Cannot open file %s." and gives nothing.
  static std::optional<ResultFile> Open(const std::string& fileName);

  ResultFile(ResultFile&& other) noexcept;
  ResultFile& operator=(ResultFile&&) = delete;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  // A file that was never finished (a failure escaped) is discarded: the target stays as it was.
  ~ResultFile();

  // Buffered; after the first failed write the rest is skipped and the failure kept for Finish.
  void Write(std::string_view bytes);

  // Writes what is buffered, closes the file, puts it in place and writes the closing message,
  // or on any failure discards it and writes "Cannot write file %s.". True when the file is
  // saved.
  bool Finish();

 private:
  ResultFile(std::string fileName, platform::OutputFile file);
  void Flush();
  void Discard();

  std::string fileName_;
  std::optional<platform::OutputFile> file_;
  std::string buffer_;
  bool failed_ = false;
};

}  // namespace lease
