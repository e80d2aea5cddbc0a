#include "lease/TextWriter.h"

#include "lease/ResultFile.h"

namespace lease {
namespace {

// The format has no quoting: a line break in a name would start a record of the client's
// choosing, and a semicolon would shift the columns. Such bytes, and every other control byte,
// become '?'.
void AppendHostName(std::string& line, const std::string& name) {
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    line += byte < 0x20 || c == ';' ? '?' : c;
  }
}

}  // namespace

SaveOutcome SaveAsText(const std::string& fileName, const LeaseList& leases) {
  std::optional<ResultFile> file = ResultFile::Open(fileName);
  if (!file) {
    return {};
  }
  file->Write("# Name;IP;MAC\r\n");
  std::string line;
  for (const _DHCPUnit& unit : leases) {
    line.clear();
    AppendHostName(line, unit.HostName);
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
