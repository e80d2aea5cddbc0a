// leasedump-bench MODE N FILE: saves N generated leases the way the tool does and times each
// phase of it on standard error.
//   xml    fill the lease list, then SaveAsXml
//   text   fill the lease list, then SaveAsText
//   query  QueryServer against the scripted DHCP API serving the same leases, then SaveAsXml

#include <charconv>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "bench/BenchRecords.h"
#include "bench/PhaseClock.h"
#include "bench/ServedRecords.h"
#include "lease/LeaseQuery.h"
#include "lease/TextWriter.h"
#include "lease/XmlWriter.h"

namespace {

bool ParseCount(std::string_view text, std::uint32_t& count) {
  const char* end = text.data() + text.size();
  auto [stop, error] = std::from_chars(text.data(), end, count);
  return error == std::errc() && stop == end;
}

int Usage() {
  std::fputs("usage: leasedump-bench xml|text|query COUNT FILE\n", stderr);
  return 2;
}

lease::LeaseList Fill(std::string_view mode, std::uint32_t count, bench::PhaseClock& clock) {
  if (mode == "query") {
    bench::ServeBenchRecords(count);
    lease::LeaseList leases;
    lease::QueryServer("127.0.0.1", leases);
    clock.Lap("query");
    return leases;
  }
  lease::LeaseList leases = bench::BenchRecords(count);
  clock.Lap("fill");
  return leases;
}

}  // namespace

int main(int argc, char** argv) {
  std::uint32_t count = 0;
  if (argc != 4 || !ParseCount(argv[2], count)) {
    return Usage();
  }
  const std::string_view mode = argv[1];
  const std::string fileName = argv[3];
  if (mode != "xml" && mode != "text" && mode != "query") {
    return Usage();
  }
  try {
    bench::PhaseClock clock;
    const lease::LeaseList leases = Fill(mode, count, clock);
    if (mode == "text") {
      lease::SaveAsText(fileName, leases);
      clock.Lap("write");
    } else {
      lease::SaveAsXml(fileName, leases, &clock);
    }
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "leasedump-bench: %s\n", failure.what());
    return 1;
  }
}
