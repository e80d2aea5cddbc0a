#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/sources/ConfigFiles.h"
#include "platform/sources/LeaseTable.h"

namespace test_support {

// Each lease of a table as one line, "ADDRESS MAC NAME EXPIRY", with "-" for an empty MAC or
// name and "never" for no expiry, so that a table compares as readable text.
std::vector<std::string> LeaseLines(const platform::sources::LeaseTable& table);

// Configuration files of the test's own: each path's text, its identity the path unless
// `sameFiles` names another path of the same file; folders list the files below them.
struct FakeConfigFiles {
  std::map<std::string, std::string> texts;
  std::map<std::string, std::string> sameFiles = {};  // path -> the path whose file it also is

  platform::sources::ConfigFiles Files();
};

}  // namespace test_support
