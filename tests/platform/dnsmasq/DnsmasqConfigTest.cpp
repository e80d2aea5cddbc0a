#include "platform/dnsmasq/DnsmasqConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/dnsmasq/DhcpRange.h"
#include "tests/platform/sources/LeaseText.h"
#include "tests/support/TempDir.h"

namespace platform::dnsmasq {
namespace {

using sources::ConfigProblem;

// The test's machine: a LAN on 192.0.2.0/25, another on 192.0.2.128/25, and loopback.
const std::vector<LocalIpv4Address> kInterfaces = {
    {0x7F000001, 0xFF000000}, {0xC0000201, 0xFFFFFF80}, {0xC0000281, 0xFFFFFF80}};

std::vector<std::string> SubnetsOf(const DnsmasqConfig& config) {
  std::vector<std::string> subnets;
  for (const sources::Ipv4Prefix& prefix : config.subnets) {
    subnets.push_back(sources::FormatIpv4Address(prefix.address) + "/" +
                      std::to_string(prefix.length));
  }
  return subnets;
}

struct Row {
  const char* name;
  std::map<std::string, std::string> files;  // the configuration is /etc/dnsmasq.conf
  std::vector<std::string> subnets;
  std::string leaseFile = kDefaultLeaseFile;
  std::map<std::string, std::string> sameFiles = {};
};

class ConfigTable : public testing::TestWithParam<Row> {};

TEST_P(ConfigTable, SubnetsAndLeaseFile) {
  test_support::FakeConfigFiles fake{GetParam().files, GetParam().sameFiles};
  DnsmasqConfigRead read = ReadDnsmasqConfig("/etc/dnsmasq.conf", fake.Files(), kInterfaces);
  ASSERT_EQ(read.problem, ConfigProblem::None);
  EXPECT_EQ(SubnetsOf(read.config), GetParam().subnets);
  EXPECT_EQ(read.config.leaseFile, GetParam().leaseFile);
}

INSTANTIATE_TEST_SUITE_P(
    Dnsmasq, ConfigTable,
    testing::Values(
        Row{"RangesWithAndWithoutNetmask",
            {{"/etc/dnsmasq.conf",
              "port=0\nbind-interfaces\n"
              "dhcp-range=192.0.2.10,192.0.2.20,12h\n"
              "dhcp-range=10.9.0.50,10.9.0.10,255.255.0.0,10.9.255.255,1h\n"
              "dhcp-range = tag:green , set:red,192.0.2.200,192.0.2.250,infinite\n"
              "dhcp-range=198.51.100.1,198.51.100.9\n"
              "dhcp-range=lan,172.16.0.1,proxy,255.240.0.0\n"
              "dhcp-range=203.0.113.5,static\n"
              "dhcp-range=10.8.0.1,10.8.0.9,static,255.255.255.0\n"
              "dhcp-range=::1,::400,constructor:eth0,ra-names\n"
              "dhcp-range=2001:db8::10,2001:db8::20,64,12h\n"}},
            // 198.51.100.1-9 and 203.0.113.5 lie in no local network: not served.
            {"192.0.2.0/25", "10.9.0.0/16", "192.0.2.128/25", "172.16.0.0/12", "10.8.0.0/24"}},
        Row{"RangeAcrossTwoInterfacesIsNotServed",
            {{"/etc/dnsmasq.conf", "dhcp-range=192.0.2.100,192.0.2.200\n"}},
            {}},
        Row{"RangesOfOneNetworkAreOneSubnet",
            {{"/etc/dnsmasq.conf",
              "dhcp-range=192.0.2.10,192.0.2.20\ndhcp-range=192.0.2.30,192.0.2.40\n"
              "dhcp-range=192.0.2.50,192.0.2.60,255.255.255.128\n"}},
            {"192.0.2.0/25"}},
        Row{"CommentsQuotesAndSpaces",
            {{"/etc/dnsmasq.conf",
              "# dhcp-range=10.0.0.1,10.0.0.2,255.0.0.0\n"
              "  dhcp-range=10.1.0.1,10.1.0.2,255.255.0.0 # served\n"
              "\tdhcp-leasefile = /var/lib/\"my #\\\"\"leases#x\n"}},
            {"10.1.0.0/16"},
            "/var/lib/my #\"leases#x"},
        Row{"ConfFileInPlaceAndReadOnce",
            {{"/etc/dnsmasq.conf",
              "dhcp-range=10.1.0.1,10.1.0.2,255.255.0.0\nconf-file=/etc/extra.conf\n"
              "conf-file=/etc/alias.conf\nconf-file=/etc/dnsmasq.conf\n"
              "dhcp-range=10.3.0.1,10.3.0.2,255.255.0.0\n"},
             {"/etc/extra.conf",
              "dhcp-range=10.2.0.1,10.2.0.2,255.255.0.0\ndhcp-leasefile=/tmp/d.leases\n"},
             {"/etc/alias.conf", "dhcp-range=10.9.0.1,10.9.0.2,255.255.0.0\n"}},
            {"10.1.0.0/16", "10.2.0.0/16", "10.3.0.0/16"},
            "/tmp/d.leases",
            {{"/etc/alias.conf", "/etc/extra.conf"}}},
        Row{"ConfDirInPlaceFilteredAndInByteOrder",
            {{"/etc/dnsmasq.conf",
              "dhcp-range=10.0.0.1,10.0.0.2,255.255.255.0\nconf-dir=/etc/dnsmasq.d/,.bak\n"
              "dhcp-range=10.99.0.1,10.99.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/b.conf", "dhcp-range=10.2.0.1,10.2.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/B.conf", "dhcp-range=10.1.0.1,10.1.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/c.conf.bak", "dhcp-range=10.50.0.1,10.50.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/.hidden", "dhcp-range=10.51.0.1,10.51.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/d.conf~", "dhcp-range=10.52.0.1,10.52.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/#e.conf#", "dhcp-range=10.53.0.1,10.53.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/sub/f.conf", "dhcp-range=10.54.0.1,10.54.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/plain", "dhcp-range=10.3.0.1,10.3.0.2,255.255.255.0\n"}},
            {"10.0.0.0/24", "10.1.0.0/24", "10.2.0.0/24", "10.3.0.0/24", "10.99.0.0/24"}},
        Row{"ConfDirWithWantedSuffixes",
            {{"/etc/dnsmasq.conf", "conf-dir=/etc/dnsmasq.d,*.conf,*.x,.skip.conf\n"},
             {"/etc/dnsmasq.d/a.conf", "dhcp-range=10.1.0.1,10.1.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/b.x", "dhcp-range=10.2.0.1,10.2.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/c.skip.conf", "dhcp-range=10.3.0.1,10.3.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/.conf", "dhcp-range=10.4.0.1,10.4.0.2,255.255.255.0\n"},
             {"/etc/dnsmasq.d/d.txt", "dhcp-range=10.5.0.1,10.5.0.2,255.255.255.0\n"}},
            {"10.1.0.0/24", "10.2.0.0/24"}},
        Row{"RelativePathsFromTheRoot",
            {{"/etc/dnsmasq.conf", "conf-file=etc/x.conf\ndhcp-leasefile=var/d.leases\n"},
             {"/etc/x.conf", "dhcp-range=10.1.0.1,10.1.0.2,255.255.255.0\n"}},
            {"10.1.0.0/24"},
            "/var/d.leases"}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

struct ProblemRow {
  const char* name;
  std::map<std::string, std::string> files;
  ConfigProblem problem;
};

class ConfigProblems : public testing::TestWithParam<ProblemRow> {};

TEST_P(ConfigProblems, AreTold) {
  test_support::FakeConfigFiles fake{GetParam().files};
  EXPECT_EQ(ReadDnsmasqConfig("/etc/dnsmasq.conf", fake.Files(), kInterfaces).problem,
            GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    Dnsmasq, ConfigProblems,
    testing::Values(
        ProblemRow{"Missing", {}, ConfigProblem::Unreadable},
        ProblemRow{"ConfFileMissing",
                   {{"/etc/dnsmasq.conf", "conf-file=/etc/none\n"}},
                   ConfigProblem::Unreadable},
        ProblemRow{"ConfDirMissing",
                   {{"/etc/dnsmasq.conf", "conf-dir=/etc/none\n"}},
                   ConfigProblem::Unreadable},
        ProblemRow{"UnendedQuote",
                   {{"/etc/dnsmasq.conf", "dhcp-leasefile=\"/x\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"RangeWithoutEnd",
                   {{"/etc/dnsmasq.conf", "dhcp-range=10.0.0.1\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"RangeOfNoAddress",
                   {{"/etc/dnsmasq.conf", "dhcp-range=tag:x,here,there\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"RangeAcrossItsNetmask",
                   {{"/etc/dnsmasq.conf", "dhcp-range=10.0.0.1,10.0.1.1,255.255.255.0\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"RangeWithBadNetmask",
                   {{"/etc/dnsmasq.conf", "dhcp-range=10.0.0.1,10.0.0.9,255.255.255.\n"}},
                   ConfigProblem::Malformed}),
    [](const testing::TestParamInfo<ProblemRow>& info) { return info.param.name; });

// What the service gives dnsmasq on its command line (Debian's conf-dir) is read after the file,
// a file that both name once; the pid file is the last one named.
TEST(DnsmasqConfig, CommandLineAfterTheFile) {
  test_support::FakeConfigFiles fake{
      {{"/etc/dnsmasq.conf",
        "dhcp-range=10.1.0.1,10.1.0.9,255.255.255.0\nconf-dir=/etc/dnsmasq.d\npid-file=/run/"
        "a.pid\n"},
       {"/etc/dnsmasq.d/lan", "dhcp-range=10.2.0.1,10.2.0.9,255.255.255.0\n"},
       {"/etc/dnsmasq.d/lan.dpkg-old", "dhcp-range=10.3.0.1,10.3.0.9,255.255.255.0\n"},
       {"/etc/extra.conf", "dhcp-range=10.4.0.1,10.4.0.9,255.255.255.0\n"}}};
  const std::string commandLine[] = {"conf-dir=/etc/dnsmasq.d,.dpkg-dist,.dpkg-old",
                                     "conf-file=/etc/extra.conf", "pid-file=/run/b.pid"};
  DnsmasqConfigRead read =
      ReadDnsmasqConfig("/etc/dnsmasq.conf", fake.Files(), kInterfaces, commandLine);
  ASSERT_EQ(read.problem, ConfigProblem::None);
  EXPECT_EQ(SubnetsOf(read.config),
            (std::vector<std::string>{"10.1.0.0/24", "10.2.0.0/24", "10.3.0.0/24", "10.4.0.0/24"}));
  EXPECT_EQ(read.config.pidFile, "/run/b.pid");
  const std::string missing[] = {"conf-dir=/etc/none"};
  EXPECT_EQ(ReadDnsmasqConfig("/etc/dnsmasq.conf", fake.Files(), kInterfaces, missing).problem,
            ConfigProblem::Unreadable);
}

TEST(DnsmasqConfig, ConfFilesNestOnlySoDeep) {
  auto chain = [](int length) {
    std::map<std::string, std::string> files{{"/etc/dnsmasq.conf", "conf-file=/etc/1\n"}};
    for (int i = 1; i <= length; ++i) {
      files["/etc/" + std::to_string(i)] =
          i < length ? "conf-file=/etc/" + std::to_string(i + 1) + "\n" : "port=0\n";
    }
    test_support::FakeConfigFiles fake{files};
    return ReadDnsmasqConfig("/etc/dnsmasq.conf", fake.Files(), kInterfaces).problem;
  };
  EXPECT_EQ(chain(sources::kDeepestInclude), ConfigProblem::None);
  EXPECT_EQ(chain(sources::kDeepestInclude + 1), ConfigProblem::TooDeep);
}

// The configuration that scripts/file_servers_sandbox.py gives a real dnsmasq, read from the
// disk, with a conf-dir of real files beside it.
TEST(DnsmasqConfig, ThroughTheSystemsFiles) {
  test_support::TempDir folder;
  std::filesystem::create_directory(folder.PathOf("d"));
  std::filesystem::create_directory(folder.PathOf("d/sub.conf"));
  test_support::WriteWholeFile(folder.PathOf("main.conf"),
                               "conf-file=" + std::string(LEASEDUMP_SOURCE_DIR) +
                                   "/fuzz/corpus/fuzz_server_configs/dnsmasq-sandbox\nconf-dir=" +
                                   folder.PathOf("d") + ",*.conf\n");
  test_support::WriteWholeFile(folder.PathOf("d/b.conf"),
                               "dhcp-range=10.2.0.1,10.2.0.9,255.255.0.0\n");
  test_support::WriteWholeFile(folder.PathOf("d/a.conf"),
                               "dhcp-range=10.1.0.1,10.1.0.9,255.255.0.0\n");
  test_support::WriteWholeFile(folder.PathOf("d/c.txt"),
                               "dhcp-range=10.3.0.1,10.3.0.9,255.255.0.0\n");
  DnsmasqConfigRead read =
      ReadDnsmasqConfig(folder.PathOf("main.conf"), sources::SystemConfigFiles(), kInterfaces);
  ASSERT_EQ(read.problem, ConfigProblem::None);
  EXPECT_EQ(SubnetsOf(read.config), (std::vector<std::string>{"192.0.2.0/25", "192.0.2.128/25",
                                                              "10.1.0.0/16", "10.2.0.0/16"}));
  EXPECT_EQ(read.config.leaseFile, "/var/lib/misc/dnsmasq.leases");
}

}  // namespace
}  // namespace platform::dnsmasq
