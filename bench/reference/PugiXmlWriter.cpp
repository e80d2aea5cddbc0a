// leasedump-ref-pugixml N FILE: the inventory document of the N benchmark leases built as a
// pugixml tree of the same nodes (an address element with hostname, ip and mac elements, each
// holding a text node) and saved with the same declaration line, byte for byte what the tool
// writes. The yardstick for the tool's XML path.

#include <pugixml.hpp>

#include <charconv>
#include <cstdio>
#include <string_view>

#include "bench/BenchRecords.h"
#include "bench/PhaseClock.h"

namespace {

void AppendField(pugi::xml_node address, const char* name, const std::string& value) {
  address.append_child(name).append_child(pugi::node_pcdata).set_value(value.c_str());
}

void BuildDocument(pugi::xml_document& document, const lease::LeaseList& leases) {
  pugi::xml_node root = document.append_child("addrlist");
  root.append_attribute("version").set_value("4");
  for (const lease::_DHCPUnit& unit : leases) {
    pugi::xml_node address = root.append_child("address");
    AppendField(address, "hostname", unit.HostName);
    AppendField(address, "ip", unit.IpAddress);
    AppendField(address, "mac", unit.MacAddress);
  }
}

bool Save(const pugi::xml_document& document, const char* fileName) {
  std::FILE* file = std::fopen(fileName, "wb");
  if (file == nullptr) {
    return false;
  }
  std::fputs("<?xml version=\"1.0\"?>\r\n", file);
  pugi::xml_writer_file writer(file);
  document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t count = 0;
  const std::string_view countText = argc == 3 ? argv[1] : "";
  const char* end = countText.data() + countText.size();
  if (auto [stop, error] = std::from_chars(countText.data(), end, count);
      argc != 3 || error != std::errc() || stop != end) {
    std::fputs("usage: leasedump-ref-pugixml COUNT FILE\n", stderr);
    return 2;
  }
  bench::PhaseClock clock;
  const lease::LeaseList leases = bench::BenchRecords(count);
  clock.Lap("fill");
  bool saved = false;
  {
    pugi::xml_document document;
    BuildDocument(document, leases);
    clock.Lap("tree build");
    saved = Save(document, argv[2]);
    clock.Lap("write");
  }
  clock.Lap("release");
  if (!saved) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
  }
  return saved ? 0 : 1;
}
