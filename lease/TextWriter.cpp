#include "lease/TextWriter.h"

#include "lease/ResultFile.h"

namespace lease {

int SaveAsText(const std::string& fileName, const LeaseList& leases) {
  std::optional<ResultFile> file = ResultFile::Open(fileName);
  if (!file) {
    return 0;
  }
  file->Write("# Name;IP;MAC\r\n");
  std::string line;
  for (const _DHCPUnit& unit : leases) {
    line.assign(unit.HostName);
    line += ';';
    line += unit.IpAddress;
    line += ';';
    line += unit.MacAddress;
    line += "\r\n";
    file->Write(line);
  }
  return file->Finish() ? static_cast<int>(leases.size()) : 0;
}

}  // namespace lease
