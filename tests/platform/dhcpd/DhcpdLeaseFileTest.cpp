#include "platform/dhcpd/DhcpdLeaseFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/platform/sources/LeaseText.h"
#include "tests/support/TempDir.h"

namespace platform::dhcpd {
namespace {

using test_support::LeaseLines;

constexpr std::int64_t kNow = 1700000000;  // 2023-11-14 22:13:20 UTC

std::vector<std::string> LinesOf(std::string_view file) {
  std::optional<sources::LeaseTable> table = ParseDhcpdLeases(file, kNow);
  EXPECT_TRUE(table.has_value()) << file;
  return table ? LeaseLines(*table) : std::vector<std::string>{"invalid"};
}

// A lease block as dhcpd writes one, with the given statements inside.
std::string Lease(const std::string& address, const std::string& statements) {
  return "lease " + address + " {\n" + statements + "}\n";
}

const std::string kActive =
    "  starts 2 2023/11/14 10:00:00;\n"
    "  ends 3 2023/11/15 10:00:00;\n"
    "  cltt 2 2023/11/14 10:00:00;\n"
    "  binding state active;\n"
    "  next binding state free;\n"
    "  rewind binding state free;\n"
    "  hardware ethernet 00:16:3e:0a:0b:0c;\n"
    "  uid \"\\001\\000\\026>\\012\\013\\014\";\n"
    "  client-hostname \"ws1\";\n";

struct Row {
  const char* name;
  std::string file;
  std::vector<std::string> leases;
};

class LeaseFileTable : public testing::TestWithParam<Row> {};

TEST_P(LeaseFileTable, CurrentLeases) {
  EXPECT_EQ(LinesOf(GetParam().file), GetParam().leases);
}

std::string InState(const std::string& state) {
  return Lease("10.0.0.1",
               "  binding state " + state + ";\n  hardware ethernet 00:00:00:00:00:01;\n");
}

INSTANTIATE_TEST_SUITE_P(
    Dhcpd, LeaseFileTable,
    testing::Values(
        Row{"AsDhcpdWritesIt",
            "# The format of this file is documented in the dhcpd.leases(5) manual page.\n"
            "# This lease file was written by isc-dhcp-4.4.3-P1\n\n"
            "# authoring-byte-order entry is generated, DO NOT DELETE\n"
            "authoring-byte-order little-endian;\n\n"
            "server-duid "
            "\"\\000\\001\\000\\001,\\304\\352\\315\\002\\000\\000\\000\\002\\001\";\n\n" +
                Lease("192.0.2.100", kActive),
            {"192.0.2.100 00:16:3e:0a:0b:0c ws1 1700042400"}},
        Row{"LastDeclarationWins",
            Lease("10.0.0.2", "  binding state active;\n  client-hostname \"old\";\n") +
                Lease("10.0.0.1", "  binding state active;\n") +
                Lease("10.0.0.2", "  binding state active;\n  client-hostname \"new\";\n"),
            {"10.0.0.1 - - never", "10.0.0.2 - new never"}},
        Row{"LaterFreeTakesTheAddressBack",
            Lease("10.0.0.1", kActive) +
                Lease("10.0.0.1",
                      "  binding state free;\n  hardware ethernet 00:16:3e:0a:0b:0c;\n"),
            {}},
        Row{"LeasedAgainAfterFree",
            Lease("10.0.0.1", "  binding state free;\n") + Lease("10.0.0.1", kActive),
            {"10.0.0.1 00:16:3e:0a:0b:0c ws1 1700042400"}},
        Row{"Active", InState("active"), {"10.0.0.1 00:00:00:00:00:01 - never"}},
        Row{"Expired", InState("expired"), {"10.0.0.1 00:00:00:00:00:01 - never"}},
        Row{"Released", InState("released"), {"10.0.0.1 00:00:00:00:00:01 - never"}},
        Row{"Free", InState("free"), {}}, Row{"Backup", InState("backup"), {}},
        Row{"Abandoned", InState("abandoned"), {}}, Row{"Reset", InState("reset"), {}},
        Row{"NextAndRewindStatesDoNotCount",
            Lease("10.0.0.1",
                  "  next binding state active;\n  binding state free;\n"
                  "  rewind binding state active;\n"),
            {}},
        Row{"NoStateActiveUntilItEnds",
            Lease("10.0.0.1", "  ends 3 2023/11/15 10:00:00;\n") +
                Lease("10.0.0.2", "  ends 1 2023/11/13 10:00:00;\n") +
                Lease("10.0.0.3", "  ends never;\n"),
            {"10.0.0.1 - - 1700042400", "10.0.0.3 - - never"}},
        Row{"EndsInEveryForm",
            Lease("10.0.0.1", "  binding state active;\n  ends epoch 1700000001; # Tue Nov 14\n") +
                Lease("10.0.0.2", "  binding state active;\n  ends 4 2024/02/29 23:59:59;\n") +
                Lease("10.0.0.3", "  binding state active;\n  ends never;\n"),
            {"10.0.0.1 - - 1700000001", "10.0.0.2 - - 1709251199", "10.0.0.3 - - never"}},
        Row{"Escapes",
            Lease("10.0.0.1",
                  "  binding state active;\n  client-hostname \"a\\\"b\\\\c\\101\\x42\\tz\";\n"),
            {"10.0.0.1 - a\"b\\cAB\tz never"}},
        Row{"ShortOctalAndHexEscapesEndAtANonDigit",
            Lease("10.0.0.1", "  binding state active;\n  client-hostname \"\\61x\\x4g\";\n"),
            {"10.0.0.1 - 1x\x04g never"}},
        Row{"NulEndsTheName",
            Lease("10.0.0.1", "  binding state active;\n  client-hostname \"pc\\000junk\";\n"),
            {"10.0.0.1 - pc never"}},
        Row{"BytesThatAreNotUtf8",
            Lease("10.0.0.1",
                  "  binding state active;\n  client-hostname \"\\303\\234ber-\\377-\\303\";\n"),
            {"10.0.0.1 - \xC3\x9C"
             "ber-?-? never"}},
        Row{"DdnsNameWhenNoClientHostname",
            Lease("10.0.0.1",
                  "  binding state active;\n  set ddns-rev-name = \"1.0.0.10.in-addr.arpa.\";\n"
                  "  set ddns-fwd-name = \"host.example.org.\";\n") +
                Lease("10.0.0.2",
                      "  binding state active;\n  set ddns-fwd-name = \"ddns\";\n"
                      "  client-hostname \"client\";\n") +
                Lease("10.0.0.3", "  binding state active;\n  set ddns-fwd-name = 01:02;\n"),
            {"10.0.0.1 - host.example.org. never", "10.0.0.2 - client never",
             "10.0.0.3 - - never"}},
        Row{"NestedBlocksAndBracesInStringsAndComments",
            Lease("10.0.0.1",
                  "  binding state active;\n"
                  "  on expiry {\n    if option x = \"}\" { set a = \"{\"; } else { }\n"
                  "    on release { set b = 1; } # }\n  }\n"
                  "  client-hostname \"after\";\n"),
            {"10.0.0.1 - after never"}},
        Row{"BlocksOfOtherKindsAreSkipped",
            "failover peer \"dhcp\" state {\n  my state normal at 2 2023/11/14 10:00:00;\n"
            "  partner state normal at 2 2023/11/14 10:00:00;\n  mclt 3600;\n}\n"
            "host fixed { dynamic; hardware ethernet 00:00:00:00:00:09; fixed-address 10.0.0.9; }\n"
            "class \"c\" { match hardware; }\nsubclass \"c\" 1:00:00:00:00:00:08;\n"
            "ia-na \"\\001\\000\" { cltt 2 2023/11/14 10:00:00; iaaddr 2001:db8::1 { "
            "binding state active; } }\n" +
                Lease("10.0.0.1", "  binding state active;\n"),
            {"10.0.0.1 - - never"}},
        Row{"HardwareOfEveryType",
            Lease("10.0.0.1", "  binding state active;\n  hardware token-ring 0:1:a:b;\n") +
                Lease("10.0.0.2",
                      "  binding state active;\n  hardware infiniband "
                      "01:02:03:04:05:06:07:08:09:0a:0b:0c:0d:0e:0f:10:11:12:13:14;\n"),
            {"10.0.0.1 00:01:0a:0b - never",
             "10.0.0.2 01:02:03:04:05:06:07:08:09:0a:0b:0c:0d:0e:0f:10:11:12:13:14 - never"}},
        Row{"CrLfAndTabs",
            "lease\t10.0.0.1\r\n{\r\n\tbinding state active;\r\n\tclient-hostname "
            "\"crlf\";\r\n}\r\n",
            {"10.0.0.1 - crlf never"}},
        Row{"TruncatedLastBlockIsLeftOut",
            Lease("10.0.0.1", "  binding state active;\n") +
                "lease 10.0.0.1 {\n  binding state free;\n  client-host",
            {"10.0.0.1 - - never"}},
        Row{"CutInsideAStringAtTheEnd",
            Lease("10.0.0.1", "  binding state active;\n") + "lease 10.0.0.2 { uid \"\\00",
            {"10.0.0.1 - - never"}},
        Row{"NulBytesAfterACrash",
            Lease("10.0.0.1", "  binding state active;\n") + std::string(5000, '\0'),
            {"10.0.0.1 - - never"}},
        Row{"Empty", "", {}}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

struct InvalidRow {
  const char* name;
  std::string file;
};

class InvalidLeaseFile : public testing::TestWithParam<InvalidRow> {};

TEST_P(InvalidLeaseFile, IsRefused) {
  EXPECT_FALSE(ParseDhcpdLeases(GetParam().file, kNow).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Dhcpd, InvalidLeaseFile,
    testing::Values(
        InvalidRow{"BraceThatClosesNothing", Lease("10.0.0.1", "binding state active;\n") + "}\n"},
        InvalidRow{"StatementWithoutSemicolon", Lease("10.0.0.1", "binding state active\n")},
        InvalidRow{"LeaseOfNoAddress", Lease("10.0.0.256", "binding state active;\n")},
        InvalidRow{"LeaseOfIpv6", Lease("2001:db8::1", "binding state active;\n")},
        InvalidRow{"LeaseWithoutAddress", Lease("", "binding state active;\n")},
        InvalidRow{"BindingStateMissing", Lease("10.0.0.1", "binding state;\n")},
        InvalidRow{"HardwareNotHex", Lease("10.0.0.1", "hardware ethernet 00:zz;\n")},
        InvalidRow{"HardwareTooLong",
                   Lease("10.0.0.1",
                         "hardware ethernet 1:2:3:4:5:6:7:8:9:a:b:c:d:e:f:10:11:12:"
                         "13:14:15;\n")},
        InvalidRow{"HardwareWithoutType", Lease("10.0.0.1", "hardware 00:01;\n")},
        InvalidRow{"HostnameNotAString", Lease("10.0.0.1", "client-hostname ws1;\n")},
        InvalidRow{"EndsNotADate", Lease("10.0.0.1", "ends 3 2023/02/30 10:00:00;\n")},
        InvalidRow{"EndsBadTime", Lease("10.0.0.1", "ends 3 2023/02/03 24:00:00;\n")},
        InvalidRow{"EndsEpochNotANumber", Lease("10.0.0.1", "ends epoch soon;\n")},
        InvalidRow{"TokenPastTheBound",
                   Lease("10.0.0.1", "client-hostname \"" + std::string(70000, 'a') + "\";\n")}),
    [](const testing::TestParamInfo<InvalidRow>& info) { return info.param.name; });

const std::string kSample =
    "authoring-byte-order little-endian;\n" + Lease("10.0.0.3", kActive) +
    Lease("10.0.0.1",
          "  binding state active;\n  on expiry { set x = \"}\\\"{\"; }\n"
          "  client-hostname \"\\303\\234\\\\x\";\n  hardware ethernet 0:1:2:3:4:5;\n") +
    "# comment ; { \" \n" + Lease("10.0.0.3", "  binding state free;\n") +
    Lease("10.0.0.2", "  binding state expired;\n  ends epoch 12;\n");

// Wherever the chunks of a read end (inside a word, a string, an escape, a comment), the file
// reads as it does at once.
TEST(DhcpdLeaseReader, ChunksOfAnySizeReadAsTheWhole) {
  std::vector<std::string> whole = LinesOf(kSample);
  ASSERT_EQ(whole.size(), 2u);
  for (std::size_t size = 1; size <= kSample.size(); ++size) {
    DhcpdLeaseReader reader(kNow);
    for (std::size_t at = 0; at < kSample.size(); at += size) {
      ASSERT_TRUE(reader.Take(std::string_view(kSample).substr(at, size)));
    }
    std::optional<sources::LeaseTable> table = std::move(reader).Finish();
    ASSERT_TRUE(table.has_value()) << size;
    EXPECT_EQ(LeaseLines(*table), whole) << "chunks of " << size;
  }
}

// dhcpd appends a declaration while the file is read: wherever the read stops inside it, the
// file holds what it held before that declaration.
TEST(DhcpdLeaseReader, ADeclarationCutAnywhereIsLeftOut) {
  const std::string appended = Lease(
      "10.0.0.1", "  binding state free;\n  on expiry { x; }\n  client-hostname \"a\\\"}\";\n");
  std::vector<std::string> before = LinesOf(kSample);
  for (std::size_t cut = 0; cut + 1 < appended.size(); ++cut) {
    EXPECT_EQ(LinesOf(kSample + appended.substr(0, cut)), before) << "cut at " << cut;
  }
  EXPECT_EQ(LinesOf(kSample + appended).size(), 1u);
}

// What a real dhcpd 4.4.3 wrote while serving busybox udhcpc and ISC dhclient clients
// (scripts/file_servers_sandbox.py): the last client released its lease, which appended a free
// declaration of its address.
TEST(DhcpdLeaseFile, AsARealServerWroteIt) {
  std::string file = test_support::ReadWholeFile(std::string(LEASEDUMP_SOURCE_DIR) +
                                                 "/fuzz/corpus/fuzz_dhcpd_leases/sandbox-release");
  EXPECT_EQ(LinesOf(file),
            (std::vector<std::string>{"192.0.2.100 02:00:00:00:02:01 busybox-client 1796706109",
                                      "192.0.2.101 02:00:00:00:02:02 isc-client 1796706110",
                                      "192.0.2.102 02:00:00:00:02:03 Second-Busybox 1796706111"}));
}

}  // namespace
}  // namespace platform::dhcpd
