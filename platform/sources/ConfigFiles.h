#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ReadOnlyFile.h"

namespace platform::sources {

// How the configuration readers reach files: injected, so that the parsing itself touches no
// file and is tested with files of the test's own. The readers open only the paths that the
// configuration names (its includes, its folders of further files).

// The largest configuration file taken; real ones are a few kilobytes, and a file this large
// is no configuration a server was given.
inline constexpr std::size_t kLargestConfigFile = 16 * 1024 * 1024;
// How deep includes may nest. The servers set no bound of their own short of running out of
// file descriptors; no real configuration comes near it.
inline constexpr int kDeepestInclude = 16;

struct ConfigFileRead {
  FileError error = FileError::None;
  std::string text;
  // What the file itself is (its device and inode), so that two paths of one file are one file.
  std::string identity;
  bool tooLarge = false;  // past kLargestConfigFile; `error` is then Failed
};

struct ConfigFiles {
  // The whole of the file at an absolute path; a file past kLargestConfigFile is Failed.
  std::function<ConfigFileRead(const std::string& path)> read;
  // The entries of the folder at an absolute path.
  std::function<FileError(const std::string& path, std::vector<DirectoryEntry>& entries)> list;
};

// The files of this machine.
ConfigFiles SystemConfigFiles();

// The path that a configuration names, as its server opens it: a relative path is taken from
// the root folder, the working folder of a service the system starts.
std::string ResolvedPath(std::string_view named);

// Why a configuration was not read. Any of them means the server could not have started with it.
enum class ConfigProblem {
  None,
  Unreadable,  // it, or a file it includes, cannot be read
  Malformed,   // its text is not what the server would take
  TooDeep,     // includes nest past kDeepestInclude, or include each other
  TooLarge,    // it, or a file it includes, is past kLargestConfigFile
};

// The files being read, outermost first: a file that includes one of them would never end.
class IncludeTrail {
 public:
  // False when the file is already being read or the trail is as deep as allowed.
  bool Enter(const std::string& identity);
  void Leave();

 private:
  std::vector<std::string> identities_;
};

}  // namespace platform::sources
