#include "platform/dnsmasq/DnsmasqLeaseFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/sources/LeaseText.h"
#include "tests/support/TempDir.h"

namespace platform::dnsmasq {
namespace {

using test_support::LeaseLines;

struct Row {
  const char* name;
  std::string file;
  std::vector<std::string> leases;  // none at all: the file is invalid
  bool valid = true;
};

class LeaseFileTable : public testing::TestWithParam<Row> {};

TEST_P(LeaseFileTable, CurrentLeases) {
  std::optional<sources::LeaseTable> table = ParseDnsmasqLeases(GetParam().file);
  ASSERT_EQ(table.has_value(), GetParam().valid);
  if (table) {
    EXPECT_EQ(LeaseLines(*table), GetParam().leases);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dnsmasq, LeaseFileTable,
    testing::Values(
        Row{"AsDnsmasqWritesIt",
            "1700003600 02:00:00:00:02:01 192.0.2.120 busybox-client 01:02:00:00:00:02:01\n"
            "1700007200 02:00:00:00:02:02 192.0.2.110 * *\n",
            {"192.0.2.110 02:00:00:00:02:02 - 1700007200",
             "192.0.2.120 02:00:00:00:02:01 busybox-client 1700003600"}},
        Row{"InfiniteLease",
            "0 00:16:3e:00:00:01 10.0.0.1 forever *\n",
            {"10.0.0.1 00:16:3e:00:00:01 forever never"}},
        Row{"TypePrefixedAndEmptyHardware",
            "5 06-00:16:3e:00:00:01 10.0.0.1 tokenring *\n5 20- 10.0.0.2 ib *\n"
            "5 ff01-0a 10.0.0.3 wide *\n",
            {"10.0.0.1 00:16:3e:00:00:01 tokenring 5", "10.0.0.2 - ib 5", "10.0.0.3 0a wide 5"}},
        Row{"Ipv6AndOtherLinesAreSkipped",
            "5 00:00:00:00:00:01 10.0.0.1 v4 *\n"
            "duid 00:01:00:01:2c:c4:ea:cd:02:00:00:00:00:01\n"
            "1700003600 1234 2001:db8::10 v6 00:01:00:01:2c:c4:ea:cd\n"
            "vendorclass 10.0.0.1 something\n\n   \n",
            {"10.0.0.1 00:00:00:00:00:01 v4 5"}},
        Row{"LastLineWins",
            "5 00:00:00:00:00:01 10.0.0.1 a *\n6 00:00:00:00:00:02 10.0.0.1 b *\n",
            {"10.0.0.1 00:00:00:00:00:02 b 6"}},
        Row{"NamesAreMadeUtf8",
            "5 00:00:00:00:00:01 10.0.0.1 \xC3\x9C"
            "ber\xFF *\n",
            {"10.0.0.1 00:00:00:00:00:01 \xC3\x9C"
             "ber? 5"}},
        Row{"CrLfAndNoLastLineEnd",
            "5 00:00:00:00:00:01 10.0.0.1 a *\r\n5 00:00:00:00:00:02 10.0.0.2 b",
            {"10.0.0.1 00:00:00:00:00:01 a 5", "10.0.0.2 00:00:00:00:00:02 b 5"}},
        Row{"WithoutClientIdField",
            "5 00:00:00:00:00:01 10.0.0.1 a\n",
            {"10.0.0.1 00:00:00:00:00:01 a 5"}},
        Row{"Empty", "", {}}, Row{"MacNotHex", "5 00:zz 10.0.0.1 a *\n", {}, false},
        Row{"MacTooLong",
            "5 ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab:ab 10.0.0.1 a *\n",
            {},
            false},
        Row{"NoHostNameField", "5 00:00:00:00:00:01 10.0.0.1\n", {}, false},
        Row{"ExpiryTooLarge", "9999999999999999999 00:01 10.0.0.1 a *\n", {}, false},
        Row{"LinePastTheBound", "5 00:01 10.0.0.1 " + std::string(20000, 'a') + " *\n", {}, false}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

TEST(DnsmasqLeaseReader, ChunksOfAnySizeReadAsTheWhole) {
  const std::string file =
      "1700003600 02:00:00:00:02:01 192.0.2.120 busybox-client 01:02:00:00:00:02:01\n"
      "duid 00:01:00:01:2c:c4:ea:cd:02:00:00:00:00:01\n"
      "0 20- 192.0.2.7 * *\n";
  std::vector<std::string> whole = LeaseLines(*ParseDnsmasqLeases(file));
  ASSERT_EQ(whole.size(), 2u);
  for (std::size_t size = 1; size <= file.size(); ++size) {
    DnsmasqLeaseReader reader;
    for (std::size_t at = 0; at < file.size(); at += size) {
      ASSERT_TRUE(reader.Take(std::string_view(file).substr(at, size)));
    }
    std::optional<sources::LeaseTable> table = std::move(reader).Finish();
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(LeaseLines(*table), whole) << "chunks of " << size;
  }
}

// What a real dnsmasq 2.90 wrote while serving busybox udhcpc and ISC dhclient clients
// (scripts/file_servers_sandbox.py); the lease that the last client released is gone.
TEST(DnsmasqLeaseFile, AsARealServerWroteIt) {
  std::string file = test_support::ReadWholeFile(std::string(LEASEDUMP_SOURCE_DIR) +
                                                 "/fuzz/corpus/fuzz_dnsmasq_leases/sandbox");
  std::optional<sources::LeaseTable> table = ParseDnsmasqLeases(file);
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(LeaseLines(*table),
            (std::vector<std::string>{"192.0.2.214 02:00:00:00:02:01 busybox-client 1796706122",
                                      "192.0.2.215 02:00:00:00:02:02 isc-client 1796706125",
                                      "192.0.2.216 02:00:00:00:02:03 Second-Busybox 1796706128"}));
}

}  // namespace
}  // namespace platform::dnsmasq
