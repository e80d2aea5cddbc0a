#include "tests/platform/sources/LeaseText.h"

#include <cstdio>

#include "platform/sources/Ipv4Text.h"

namespace test_support {

std::vector<std::string> LeaseLines(const platform::sources::LeaseTable& table) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < table.Size(); ++i) {
    platform::sources::SourceLease lease = table.At(i);
    std::string line = platform::sources::FormatIpv4Address(lease.address);
    line += ' ';
    for (std::size_t b = 0; b < lease.hardwareAddress.size(); ++b) {
      char hex[4];
      std::snprintf(hex, sizeof hex, b == 0 ? "%02x" : ":%02x", lease.hardwareAddress[b]);
      line += hex;
    }
    if (lease.hardwareAddress.empty()) {
      line += '-';
    }
    line += ' ';
    line += lease.hostName.empty() ? std::string("-") : lease.hostName;
    line += ' ';
    line += lease.expires ? std::to_string(*lease.expires) : std::string("never");
    lines.push_back(std::move(line));
  }
  return lines;
}

platform::sources::ConfigFiles FakeConfigFiles::Files() {
  platform::sources::ConfigFiles files;
  files.read = [this](const std::string& path) {
    platform::sources::ConfigFileRead read;
    auto found = texts.find(path);
    if (found == texts.end()) {
      read.error = platform::FileError::NotFound;
      return read;
    }
    read.text = found->second;
    auto alias = sameFiles.find(path);
    read.identity = alias != sameFiles.end() ? alias->second : path;
    return read;
  };
  files.list = [this](const std::string& folder, std::vector<platform::DirectoryEntry>& entries) {
    entries.clear();
    std::string prefix = folder;
    if (prefix.back() != '/') {
      prefix += '/';
    }
    bool any = false;
    for (const auto& [path, text] : texts) {
      if (path.starts_with(prefix)) {
        any = true;
        std::string rest = path.substr(prefix.size());
        std::size_t slash = rest.find('/');
        entries.push_back({rest.substr(0, slash), slash == std::string::npos});
      }
    }
    return any ? platform::FileError::None : platform::FileError::NotFound;
  };
  return files;
}

}  // namespace test_support
