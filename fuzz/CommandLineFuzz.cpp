// The raw Windows command line. Whatever it holds, its arguments are never empty and hold no
// quote, and quoting each of them and splitting again gives them back.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "platform/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> arguments = platform::SplitCommandLine(line);
  std::size_t total = 0;
  std::string quoted;
  for (const std::string& argument : arguments) {
    FUZZ_CHECK(!argument.empty());
    FUZZ_CHECK(argument.find('"') == std::string::npos);
    FUZZ_CHECK(argument.find('\0') == std::string::npos);
    total += argument.size();
    quoted += (quoted.empty() ? "\"" : " \"") + argument + "\"";
  }
  FUZZ_CHECK(total <= size);
  FUZZ_CHECK(platform::SplitCommandLine(quoted) == arguments);
  return 0;
}
