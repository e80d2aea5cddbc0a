#include "platform/sources/ConfigFiles.h"

#include <algorithm>

namespace platform::sources {
namespace {

ConfigFileRead ReadSystemFile(const std::string& path) {
  ConfigFileRead read;
  ReadOnlyFile file;
  FileStamp stamp;
  read.error = file.Open(path);
  if (read.error == FileError::None) {
    read.error = file.Stamp(stamp);
  }
  if (read.error != FileError::None) {
    return read;
  }
  if (stamp.size > kLargestConfigFile) {
    read.error = FileError::Failed;
    read.tooLarge = true;
    return read;
  }
  read.identity = std::to_string(stamp.device) + ":" + std::to_string(stamp.inode);
  char buffer[64 * 1024];
  for (;;) {
    std::size_t count = 0;
    read.error = file.Read(buffer, sizeof buffer, count);
    if (read.error != FileError::None || count == 0) {
      break;
    }
    if (read.text.size() + count > kLargestConfigFile) {
      read.error = FileError::Failed;
      read.tooLarge = true;
      break;
    }
    read.text.append(buffer, count);
  }
  if (read.error != FileError::None) {
    read.text.clear();
  }
  return read;
}

}  // namespace

ConfigFiles SystemConfigFiles() {
  return ConfigFiles{ReadSystemFile, ListDirectory};
}

std::string ResolvedPath(std::string_view named) {
  if (!named.empty() && named.front() == '/') {
    return std::string(named);
  }
  std::string path = "/";
  path.append(named);
  return path;
}

bool IncludeTrail::Enter(const std::string& identity) {
  if (static_cast<int>(identities_.size()) > kDeepestInclude ||
      std::find(identities_.begin(), identities_.end(), identity) != identities_.end()) {
    return false;
  }
  identities_.push_back(identity);
  return true;
}

void IncludeTrail::Leave() {
  identities_.pop_back();
}

}  // namespace platform::sources
