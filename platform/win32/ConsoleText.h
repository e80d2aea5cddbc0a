#pragma once

#include <string>
#include <string_view>

namespace platform {

// Text typed at a console, read as UTF-16 piece by piece, in the narrow text of the process like
// every other text: the console's own code page (OEM) is not the one the rest of the tool speaks.
// A surrogate pair split between two pieces is held until its second half arrives.
class ConsoleTextDecoder {
 public:
  std::string Decode(std::u16string_view units);

 private:
  std::u16string held_;
};

}  // namespace platform
