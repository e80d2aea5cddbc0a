// dnsmasq truncates its lease file and writes it again in place. A writer of the test's own does
// the same, slowly and piece by piece, alternating between two states of the file, while the
// file is read again and again: every reading is one of the two states, never a mixture or a
// part.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/dnsmasq/DnsmasqLeaseFile.h"
#include "platform/dnsmasq/DnsmasqLeaseFileRead.h"
#include "tests/platform/sources/LeaseText.h"
#include "tests/support/TempDir.h"

namespace platform::dnsmasq {
namespace {

using namespace std::chrono_literals;

std::string LeaseFile(int count, const std::string& name) {
  std::string text = "duid 00:01:00:01:2c:c4:ea:cd:02:00:00:00:00:01\n";
  for (int i = 1; i <= count; ++i) {
    text += std::to_string(1700000000 + i) + " 02:00:00:00:00:" + (i < 16 ? "0" : "") +
            [&] {
              char hex[3];
              std::snprintf(hex, sizeof hex, "%x", i);
              return std::string(hex);
            }() +
            " 192.0.2." + std::to_string(i) + " " + name + std::to_string(i) + " *\n";
  }
  return text;
}

// Truncates the file and writes `text` into it in pieces, as one rewrite of dnsmasq's, only
// slower.
void RewriteInPlace(const std::string& path, const std::string& text) {
  std::filesystem::resize_file(path, 0);
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  for (std::size_t at = 0; at < text.size(); at += 37) {
    file.write(text.data() + at,
               static_cast<std::streamsize>(std::min<std::size_t>(37, text.size() - at)));
    file.flush();
    std::this_thread::sleep_for(1ms);
  }
}

TEST(DnsmasqLeaseFile, EveryReadingDuringRewritesIsOneWholeState) {
  test_support::TempDir folder;
  const std::string path = folder.PathOf("dnsmasq.leases");
  const std::vector<std::string> states = {LeaseFile(30, "first"), LeaseFile(45, "second")};
  const std::vector<std::vector<std::string>> expected = {
      test_support::LeaseLines(*ParseDnsmasqLeases(states[0])),
      test_support::LeaseLines(*ParseDnsmasqLeases(states[1]))};
  test_support::WriteWholeFile(path, states[0]);

  std::atomic<bool> stop = false;
  std::atomic<int> rewrites = 0;
  std::thread writer([&] {
    for (int i = 1; !stop; ++i) {
      RewriteInPlace(path, states[i % 2]);
      ++rewrites;
      // Still for a while now and then, and at once busy again at other times.
      std::this_thread::sleep_for(i % 3 == 0 ? 400ms : 20ms);
    }
  });
  // The writer ends with the test, however the test ends.
  struct StopWriter {
    std::atomic<bool>& stop;
    std::thread& writer;
    ~StopWriter() {
      stop = true;
      writer.join();
    }
  } stopWriter{stop, writer};

  std::vector<int> seen(2, 0);
  const auto end = std::chrono::steady_clock::now() + 4s;
  int readings = 0;
  while (std::chrono::steady_clock::now() < end) {
    sources::SystemLeaseFileAccess access;
    sources::LeaseTableRead read = ReadDnsmasqLeaseFile(path, access);
    ASSERT_EQ(read.status, sources::LeaseFileStatus::Read);
    std::vector<std::string> lines = test_support::LeaseLines(read.leases);
    ASSERT_TRUE(lines == expected[0] || lines == expected[1])
        << "a reading of " << lines.size() << " leases";
    ++seen[lines == expected[0] ? 0 : 1];
    ++readings;
  }
  EXPECT_GE(rewrites, 8);
  EXPECT_GE(readings, 4);
}

}  // namespace
}  // namespace platform::dnsmasq
