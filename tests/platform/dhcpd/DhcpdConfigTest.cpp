#include "platform/dhcpd/DhcpdConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/platform/sources/LeaseText.h"
#include "tests/support/TempDir.h"

namespace platform::dhcpd {
namespace {

using sources::ConfigProblem;

std::vector<std::string> SubnetsOf(const DhcpdConfig& config) {
  std::vector<std::string> subnets;
  for (const sources::Ipv4Prefix& prefix : config.subnets) {
    subnets.push_back(sources::FormatIpv4Address(prefix.address) + "/" +
                      std::to_string(prefix.length));
  }
  return subnets;
}

struct Row {
  const char* name;
  std::map<std::string, std::string> files;  // the configuration is /etc/dhcp/dhcpd.conf
  std::vector<std::string> subnets;
  std::string leaseFile;
};

class ConfigTable : public testing::TestWithParam<Row> {};

TEST_P(ConfigTable, SubnetsAndLeaseFile) {
  test_support::FakeConfigFiles fake{GetParam().files};
  DhcpdConfigRead read = ReadDhcpdConfig("/etc/dhcp/dhcpd.conf", fake.Files());
  ASSERT_EQ(read.problem, ConfigProblem::None);
  EXPECT_EQ(SubnetsOf(read.config), GetParam().subnets);
  EXPECT_EQ(read.config.leaseFile, GetParam().leaseFile);
}

INSTANTIATE_TEST_SUITE_P(
    Dhcpd, ConfigTable,
    testing::Values(
        Row{"DebianSample",
            {{"/etc/dhcp/dhcpd.conf",
              "# dhcpd.conf\noption domain-name \"example.org\";\n"
              "option domain-name-servers ns1.example.org, ns2.example.org;\n"
              "default-lease-time 600;\nmax-lease-time 7200;\nddns-update-style none;\n"
              "authoritative;\n"
              "subnet 10.5.5.0 netmask 255.255.255.224 {\n  range 10.5.5.26 10.5.5.30;\n"
              "  option routers 10.5.5.1;\n}\n"
              "host fantasia { hardware ethernet 08:00:07:26:c0:a5; fixed-address 10.5.5.9; }\n"
              "class \"foo\" { match if substring (option vendor-class-identifier, 0, 4) = "
              "\"SUNW\"; }\n"}},
            {"10.5.5.0/27"},
            "/var/lib/dhcp/dhcpd.leases"},
        Row{"SharedNetworksGroupsAndIncludesInPlace",
            {{"/etc/dhcp/dhcpd.conf",
              "subnet 192.0.2.0 netmask 255.255.255.128 { }\n"
              "include \"/etc/dhcp/more.conf\";\n"
              "shared-network \"lan\" {\n  option x 1;\n"
              "  subnet 10.1.0.0 netmask 255.255.0.0 { pool { range 10.1.0.5 10.1.0.9; } }\n"
              "  include \"/etc/dhcp/inner.conf\";\n}\n"
              "group { subnet 10.3.0.0 netmask 255.255.255.0 { } }\n"
              "subnet6 2001:db8::/64 { }\n"},
             {"/etc/dhcp/more.conf", "subnet 198.51.100.0 netmask 255.255.255.0 {}\n"},
             {"/etc/dhcp/inner.conf", "subnet 10.2.0.0 netmask 255.255.254.0 {}\n"}},
            {"192.0.2.0/25", "198.51.100.0/24", "10.1.0.0/16", "10.2.0.0/23", "10.3.0.0/24"},
            "/var/lib/dhcp/dhcpd.leases"},
        Row{"LeaseFileNameOfTheOuterScopeOnly",
            {{"/etc/dhcp/dhcpd.conf",
              "lease-file-name \"/srv/first.leases\";\n"
              "subnet 10.0.0.0 netmask 255.0.0.0 { lease-file-name \"/srv/inner\"; }\n"
              "include \"/etc/dhcp/names.conf\";\n"},
             {"/etc/dhcp/names.conf", "lease-file-name \"/srv/dhcpd.leases\";\n"}},
            {"10.0.0.0/8"},
            "/srv/dhcpd.leases"},
        Row{"RelativePathsFromTheRoot",
            {{"/etc/dhcp/dhcpd.conf",
              "include \"etc/dhcp/sub.conf\";\nlease-file-name \"var/x.leases\";\n"},
             {"/etc/dhcp/sub.conf", "subnet 10.0.0.0 netmask 255.255.255.0 {}\n"}},
            {"10.0.0.0/24"},
            "/var/x.leases"},
        Row{"IncludeInsideASubnetHoldsNoSubnet",
            {{"/etc/dhcp/dhcpd.conf",
              "subnet 10.0.0.0 netmask 255.255.255.0 { include \"/nowhere\"; }\n"}},
            {"10.0.0.0/24"},
            "/var/lib/dhcp/dhcpd.leases"},
        Row{"ANetworkTwiceIsOneSubnet",
            {{"/etc/dhcp/dhcpd.conf",
              "subnet 10.0.0.0 netmask 255.255.255.0 {}\nsubnet 10.0.1.0 netmask "
              "255.255.255.0 {}\nsubnet 10.0.0.0 netmask 255.255.255.0 {}\n"
              "subnet 10.0.0.0 netmask 255.255.0.0 {}\n"}},
            {"10.0.0.0/24", "10.0.1.0/24", "10.0.0.0/16"},
            "/var/lib/dhcp/dhcpd.leases"},
        Row{"NoSubnets",
            {{"/etc/dhcp/dhcpd.conf", "# nothing yet\n"}},
            {},
            "/var/lib/dhcp/dhcpd.leases"}),
    [](const testing::TestParamInfo<Row>& info) { return info.param.name; });

struct ProblemRow {
  const char* name;
  std::map<std::string, std::string> files;
  ConfigProblem problem;
};

class ConfigProblems : public testing::TestWithParam<ProblemRow> {};

TEST_P(ConfigProblems, AreTold) {
  test_support::FakeConfigFiles fake{GetParam().files};
  EXPECT_EQ(ReadDhcpdConfig("/etc/dhcp/dhcpd.conf", fake.Files()).problem, GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(
    Dhcpd, ConfigProblems,
    testing::Values(
        ProblemRow{"Missing", {}, ConfigProblem::Unreadable},
        ProblemRow{"IncludeMissing",
                   {{"/etc/dhcp/dhcpd.conf", "include \"/etc/dhcp/gone.conf\";\n"}},
                   ConfigProblem::Unreadable},
        ProblemRow{"IncludesItself",
                   {{"/etc/dhcp/dhcpd.conf", "include \"/etc/dhcp/a\";\n"},
                    {"/etc/dhcp/a", "include \"/etc/dhcp/b\";\n"},
                    {"/etc/dhcp/b", "include \"/etc/dhcp/a\";\n"}},
                   ConfigProblem::TooDeep},
        ProblemRow{"UnclosedBlock",
                   {{"/etc/dhcp/dhcpd.conf", "subnet 10.0.0.0 netmask 255.0.0.0 {\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{
            "BraceThatClosesNothing", {{"/etc/dhcp/dhcpd.conf", "}\n"}}, ConfigProblem::Malformed},
        ProblemRow{"StatementWithoutSemicolonAtTheEnd",
                   {{"/etc/dhcp/dhcpd.conf", "authoritative\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"UnendedString",
                   {{"/etc/dhcp/dhcpd.conf", "option x \"abc;\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"IncludeOfNoString",
                   {{"/etc/dhcp/dhcpd.conf", "include /etc/dhcp/x;\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"SubnetBitsOutsideTheMask",
                   {{"/etc/dhcp/dhcpd.conf", "subnet 10.0.0.1 netmask 255.255.255.0 {}\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"MaskWithAGap",
                   {{"/etc/dhcp/dhcpd.conf", "subnet 10.0.0.0 netmask 255.0.255.0 {}\n"}},
                   ConfigProblem::Malformed},
        ProblemRow{"SubnetWithoutNetmask",
                   {{"/etc/dhcp/dhcpd.conf", "subnet 10.0.0.0 {}\n"}},
                   ConfigProblem::Malformed}),
    [](const testing::TestParamInfo<ProblemRow>& info) { return info.param.name; });

// The pid file that dhcpd (and Debian's init script) takes: the last one of the outer scope.
TEST(DhcpdConfig, PidFileNameOfTheOuterScope) {
  test_support::FakeConfigFiles fake{
      {{"/etc/dhcp/dhcpd.conf",
        "pid-file-name \"/run/first.pid\";\ninclude \"/etc/dhcp/more.conf\";\n"
        "shared-network lan { pid-file-name \"/run/inner.pid\";\n"
        "  subnet 10.0.0.0 netmask 255.0.0.0 { pid-file-name \"/run/subnet.pid\"; } }\n"},
       {"/etc/dhcp/more.conf", "pid-file-name \"run/last.pid\";\n"}}};
  DhcpdConfigRead read = ReadDhcpdConfig("/etc/dhcp/dhcpd.conf", fake.Files());
  ASSERT_EQ(read.problem, ConfigProblem::None);
  EXPECT_EQ(read.config.pidFile, "/run/last.pid");
  test_support::FakeConfigFiles none{{{"/etc/dhcp/dhcpd.conf", "authoritative;\n"}}};
  EXPECT_EQ(ReadDhcpdConfig("/etc/dhcp/dhcpd.conf", none.Files()).config.pidFile, "");
}

TEST(DhcpdConfig, IncludesNestOnlySoDeep) {
  auto chain = [](int length) {
    std::map<std::string, std::string> files{
        {"/etc/dhcp/dhcpd.conf", "include \"/etc/dhcp/1\";\n"}};
    for (int i = 1; i <= length; ++i) {
      files["/etc/dhcp/" + std::to_string(i)] =
          i < length ? "include \"/etc/dhcp/" + std::to_string(i + 1) + "\";\n"
                     : "subnet 10.0.0.0 netmask 255.0.0.0 {}\n";
    }
    test_support::FakeConfigFiles fake{files};
    return ReadDhcpdConfig("/etc/dhcp/dhcpd.conf", fake.Files()).problem;
  };
  EXPECT_EQ(chain(sources::kDeepestInclude), ConfigProblem::None);
  EXPECT_EQ(chain(sources::kDeepestInclude + 1), ConfigProblem::TooDeep);
}

// The configuration that scripts/file_servers_sandbox.py gives a real dhcpd, read from the disk
// through the system's files.
TEST(DhcpdConfig, OfTheSandboxThroughTheSystemsFiles) {
  DhcpdConfigRead read = ReadDhcpdConfig(
      std::string(LEASEDUMP_SOURCE_DIR) + "/fuzz/corpus/fuzz_server_configs/dhcpd-sandbox",
      sources::SystemConfigFiles());
  ASSERT_EQ(read.problem, ConfigProblem::None);
  EXPECT_EQ(SubnetsOf(read.config), (std::vector<std::string>{"192.0.2.0/25", "192.0.2.128/25"}));
  EXPECT_EQ(read.config.leaseFile, "/var/lib/dhcp/dhcpd.leases");
}

TEST(DhcpdConfig, IncludesThroughTheSystemsFiles) {
  test_support::TempDir folder;
  test_support::WriteWholeFile(folder.PathOf("main.conf"),
                               "include \"" + folder.PathOf("sub.conf") + "\";\ninclude \"" +
                                   folder.PathOf("link.conf") + "\";\n");
  test_support::WriteWholeFile(folder.PathOf("sub.conf"), "subnet 10.0.0.0 netmask 255.0.0.0 {}\n");
  std::filesystem::create_symlink(folder.PathOf("main.conf"), folder.PathOf("link.conf"));
  // The link is the file being read: a loop, however it is named.
  EXPECT_EQ(ReadDhcpdConfig(folder.PathOf("main.conf"), sources::SystemConfigFiles()).problem,
            ConfigProblem::TooDeep);
  std::filesystem::remove(folder.PathOf("link.conf"));
  EXPECT_EQ(ReadDhcpdConfig(folder.PathOf("main.conf"), sources::SystemConfigFiles()).problem,
            ConfigProblem::Unreadable);
  test_support::WriteWholeFile(folder.PathOf("link.conf"), "");
  DhcpdConfigRead read = ReadDhcpdConfig(folder.PathOf("main.conf"), sources::SystemConfigFiles());
  ASSERT_EQ(read.problem, ConfigProblem::None);
  EXPECT_EQ(SubnetsOf(read.config), std::vector<std::string>{"10.0.0.0/8"});
}

}  // namespace
}  // namespace platform::dhcpd
