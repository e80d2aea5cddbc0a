// system-message.exe CODE...: the system's message text for each code, each followed by a NUL
// byte. The Wine check expects the texts that the system in use gives, whatever its wording.
#include <cstdint>
#include <string>

#include "platform/Console.h"
#include "platform/SystemMessages.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string text = platform::SystemMessageText(static_cast<std::uint32_t>(std::stoul(argv[i])));
    text += '\0';
    if (!platform::WriteStandardOutput(text).ok) {
      return 1;
    }
  }
  return 0;
}
