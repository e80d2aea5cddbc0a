// The reader of dhcpd's lease file alone, at a large server's size, against a plain reading of
// the same file as the floor (see README.md):
//   leasedump-bench-dhcpd generate N FILE   N leases in 10.0.0.0/12, each address declared
//                                           twice (a renewal), as dhcpd writes them
//   leasedump-bench-dhcpd read FILE         the reader: the current leases of the file
//   leasedump-bench-dhcpd floor FILE        every byte read once in the same chunks, nothing made
// Each prints what it found and its milliseconds on standard error.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ReadOnlyFile.h"
#include "platform/dhcpd/DhcpdLeaseFileRead.h"
#include "platform/sources/LeaseFileRead.h"

namespace {

constexpr std::int64_t kNow = 1700000000;

std::string Date(std::int64_t seconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&time, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%w %Y/%m/%d %H:%M:%S", &parts);
  return text;
}

void AppendLease(std::string& out, std::uint32_t address, std::int64_t starts, const char* state,
                 std::uint32_t index) {
  char block[512];
  std::snprintf(block, sizeof block,
                "lease %u.%u.%u.%u {\n  starts %s;\n  ends %s;\n  cltt %s;\n"
                "  binding state %s;\n  next binding state free;\n  rewind binding state free;\n"
                "  hardware ethernet 00:16:3e:%02x:%02x:%02x;\n  client-hostname \"ws%u\";\n}\n",
                address >> 24, (address >> 16) & 255, (address >> 8) & 255, address & 255,
                Date(starts).c_str(), Date(starts + 3600).c_str(), Date(starts).c_str(), state,
                (index >> 16) & 255, (index >> 8) & 255, index & 255, index);
  out += block;
}

int Generate(std::uint32_t count, const char* path) {
  std::ofstream file(path, std::ios::binary);
  std::string out =
      "# The format of this file is documented in the dhcpd.leases(5) manual page.\n"
      "authoring-byte-order little-endian;\n\n";
  // Every address once at its first grant, then once more at its renewal, in the order a busy
  // server's log has them: the renewals of one stretch after the grants of the next.
  const std::uint32_t stretch = 4096;
  for (std::uint32_t first = 0; first < count; first += stretch) {
    std::uint32_t end = std::min(count, first + stretch);
    for (std::uint32_t i = first; i < end; ++i) {
      AppendLease(out, 0x0A000000u + i, kNow - 7200 + i % 600, "active", i);
    }
    for (std::uint32_t i = first; i < end; ++i) {
      AppendLease(out, 0x0A000000u + i, kNow - 1800 + i % 600, i % 50 == 0 ? "free" : "active", i);
    }
    file << out;
    out.clear();
  }
  return file ? 0 : 1;
}

double Milliseconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

int Read(const char* path) {
  auto start = std::chrono::steady_clock::now();
  platform::sources::SystemLeaseFileAccess access;
  platform::sources::LeaseTableRead read = platform::dhcpd::ReadDhcpdLeaseFile(path, access, kNow);
  if (read.status != platform::sources::LeaseFileStatus::Read) {
    std::fprintf(stderr, "read: failed (%d)\n", static_cast<int>(read.status));
    return 1;
  }
  std::fprintf(stderr, "read: %zu leases in %.0f ms\n", read.leases.Size(), Milliseconds(start));
  return 0;
}

int Floor(const char* path) {
  auto start = std::chrono::steady_clock::now();
  platform::ReadOnlyFile file;
  if (file.Open(path) != platform::FileError::None) {
    return 1;
  }
  std::vector<char> buffer(platform::sources::kLeaseFileChunk);
  std::uint64_t blocks = 0;
  for (;;) {
    std::size_t count = 0;
    if (file.Read(buffer.data(), buffer.size(), count) != platform::FileError::None) {
      return 1;
    }
    if (count == 0) {
      break;
    }
    blocks += static_cast<std::uint64_t>(std::count(buffer.data(), buffer.data() + count, '}'));
  }
  std::fprintf(stderr, "floor: %llu blocks in %.0f ms\n", static_cast<unsigned long long>(blocks),
               Milliseconds(start));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc == 4) {
    return Generate(static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)), argv[3]);
  }
  if (mode == "read" && argc == 3) {
    return Read(argv[2]);
  }
  if (mode == "floor" && argc == 3) {
    return Floor(argv[2]);
  }
  std::fprintf(stderr, "usage: leasedump-bench-dhcpd generate N FILE | read FILE | floor FILE\n");
  return 2;
}
