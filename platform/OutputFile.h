#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A file created for writing, replacing any existing file of that name. Closed on destruction if
// the owner did not close it.
class OutputFile {
 public:
  static std::optional<OutputFile> Create(const std::string& path);

  OutputFile(OutputFile&& other) noexcept;
  OutputFile& operator=(OutputFile&& other) noexcept;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // True when every byte was written.
  bool Write(std::string_view bytes);
  // True when the file was closed without error. Afterwards the object holds no file.
  bool Close();
  // Whether the path named a regular file when it was opened (not a device or a pipe).
  bool IsRegularFile() const { return regular_; }

 private:
  // Both platforms' "no file": -1 is an invalid descriptor and INVALID_HANDLE_VALUE.
  static constexpr std::intptr_t kNoFile = -1;

  OutputFile(std::intptr_t handle, bool regular) : handle_(handle), regular_(regular) {}

  std::intptr_t handle_;
  bool regular_;
};

// Removes a file that was left incomplete; errors are ignored, as there is nothing more to do.
void RemoveFile(const std::string& path);

}  // namespace platform
