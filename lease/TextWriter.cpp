#include "lease/TextWriter.h"

#include <string_view>

#include "lease/ResultFile.h"
#include "platform/NarrowText.h"

namespace lease {
namespace {

// The length of the UTF-8 sequence at `at` that a Unicode reader takes for a control or a line
// break: a C1 control (U+0080 to U+009F, NEL among them), or the line or paragraph separator
// (U+2028, U+2029); 0 for anything else.
std::size_t Utf8BreakLength(std::string_view name, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(name[i]); };
  if (byte(at) == 0xC2 && at + 1 < name.size() && byte(at + 1) >= 0x80 && byte(at + 1) <= 0x9F) {
    return 2;
  }
  if (byte(at) == 0xE2 && at + 2 < name.size() && byte(at + 1) == 0x80 &&
      (byte(at + 2) == 0xA8 || byte(at + 2) == 0xA9)) {
    return 3;
  }
  return 0;
}

// The format has no quoting: a line break in a name would start a record of the client's
// choosing, and a semicolon would shift the columns. Such bytes, every other control byte and DEL
// become '?', and so does each character at which a Unicode reader (Python's splitlines, many an
// editor) breaks a line, where the narrow text is UTF-8 and can hold one.
void AppendHostName(std::string& line, std::string_view name, bool utf8) {
  for (std::size_t at = 0; at < name.size();) {
    auto byte = static_cast<unsigned char>(name[at]);
    std::size_t length = byte >= 0x80 && utf8 ? Utf8BreakLength(name, at) : 0;
    if (length > 0 || byte < 0x20 || byte == 0x7F || byte == ';') {
      line += '?';
      at += length > 0 ? length : 1;
    } else {
      line += name[at++];
    }
  }
}

}  // namespace

SaveOutcome SaveAsText(const std::string& fileName, const LeaseList& leases) {
  std::optional<ResultFile> file = ResultFile::Open(fileName);
  if (!file) {
    return {};
  }
  file->Write("# Name;IP;MAC\r\n");
  const bool utf8 = platform::NarrowTextIsUtf8();
  std::string line;
  for (const _DHCPUnit& unit : leases) {
    line.clear();
    AppendHostName(line, unit.HostName, utf8);
    line += ';';
    line += unit.IpAddress;
    line += ';';
    line += unit.MacAddress;
    line += "\r\n";
    file->Write(line);
  }
  if (!file->Finish()) {
    return {};
  }
  return {true, static_cast<int>(leases.size())};
}

}  // namespace lease
