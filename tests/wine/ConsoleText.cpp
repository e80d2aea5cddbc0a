// console-text.exe: what the console reader makes of typed UTF-16 text, given in pieces: the
// narrow text of each piece, each followed by a NUL byte. Under Wine there is no real console to
// type at, so the check runs the conversion itself.
#include <string>

#include "platform/Console.h"
#include "platform/win32/ConsoleText.h"

int main() {
  platform::ConsoleTextDecoder decoder;
  const std::u16string pieces[] = {u"h\u00e9te\r\n", u"r\u00e9s.xml \uff1b\xd83d", u"\xde00!"};
  std::string output;
  for (const std::u16string& piece : pieces) {
    output += decoder.Decode(piece);
    output += '\0';
  }
  return platform::WriteStandardOutput(output).ok ? 0 : 1;
}
