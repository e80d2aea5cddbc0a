#include "lease/LeaseQuery.h"

#include <gtest/gtest.h>

#include "tests/fakes/FakeDhcpServer.h"
#include "tests/support/StdoutCapture.h"

namespace {

using fake_dhcp::ClientBatch;
using fake_dhcp::Lease;
using fake_dhcp::Scenario;
using fake_dhcp::SubnetBatch;

constexpr DHCP_IP_ADDRESS kSubnetA = 0x0A010200;  // 10.1.2.0
constexpr DHCP_IP_ADDRESS kSubnetB = 0x0A020000;  // 10.2.0.0
constexpr DHCP_IP_ADDRESS kSubnetC = 0x0A030000;  // 10.3.0.0

Lease LeaseOf(DHCP_IP_ADDRESS ip, std::optional<std::u16string> name = u"host",
              std::vector<std::uint8_t> hardware = {0x00, 0x16, 0x3E, 0x00, 0x00, 0x01}) {
  return Lease{ip, std::move(hardware), std::move(name)};
}

struct QueryRun {
  int count = 0;
  bool complete = false;
  std::string console;
  lease::LeaseList leases;
};

class LeaseQuery : public ::testing::Test {
 protected:
  QueryRun Run(Scenario scenario, const std::string& server = "127.0.0.1") {
    fake_dhcp::SetScenario(std::move(scenario));
    QueryRun run;
    test_support::StdoutCapture capture;
    const lease::QueryOutcome outcome = lease::QueryServer(server, run.leases);
    run.count = outcome.count;
    run.complete = outcome.complete;
    run.console = capture.Text();
    return run;
  }

  static std::vector<DHCP_RESUME_HANDLE> ResumeHandlesOf(const std::string& function) {
    std::vector<DHCP_RESUME_HANDLE> handles;
    for (const fake_dhcp::Call& call : fake_dhcp::Calls()) {
      if (call.function == function) {
        handles.push_back(call.resumeHandle);
      }
    }
    return handles;
  }

  // Whatever the path, every block the API handed out goes back exactly once.
  void TearDown() override {
    EXPECT_EQ(fake_dhcp::LiveBlocks(), 0u);
    EXPECT_EQ(fake_dhcp::BadFrees(), 0u);
  }
};

TEST_F(LeaseQuery, FailedVersionCallEndsTheQueryWithOneErrorLine) {
  Scenario scenario;
  scenario.versionStatus = 1722;
  scenario.subnetBatches = {{0, true, {kSubnetA}}};
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.console, "\r\nError: The RPC server is unavailable\r\n");
  EXPECT_EQ(run.count, 0);
  EXPECT_FALSE(run.complete);
  EXPECT_EQ(fake_dhcp::Calls().size(), 1u);
}

TEST_F(LeaseQuery, ReadsEverySubnetInServerOrder) {
  Scenario scenario;
  scenario.subnetBatches = {{0, true, {kSubnetA, kSubnetB}}};
  scenario.clientBatches[kSubnetA] = {
      {0, true, {LeaseOf(0x0A01020A, u"pc1"), LeaseOf(0x0A01020B)}}};
  scenario.clientBatches[kSubnetB] = {{0, true, {LeaseOf(0x0A020005, u"pc3")}}};
  QueryRun run = Run(scenario, "dhcp-\xc3\xbc");

  EXPECT_EQ(run.console,
            "DHCP Subnet number = 2\r\n"
            "Reading position: 10.1.2.0\r\n"
            "Reading position: 10.2.0.0\r\n");
  EXPECT_EQ(run.count, 3);
  EXPECT_TRUE(run.complete);
  ASSERT_EQ(run.leases.size(), 3u);
  EXPECT_EQ(run.leases[0].HostName, "pc1");
  EXPECT_EQ(run.leases[0].IpAddress, "10.1.2.10");
  EXPECT_EQ(run.leases[0].MacAddress, "00-16-3E-00-00-01");
  EXPECT_EQ(run.leases[2].IpAddress, "10.2.0.5");
  for (const fake_dhcp::Call& call : fake_dhcp::Calls()) {
    EXPECT_EQ(call.server, u"dhcp-\u00fc");
    if (call.function != "DhcpGetVersion") {
      EXPECT_EQ(call.preferredMaximum, 0xFFFFFFFFu);
    }
  }
}

TEST_F(LeaseQuery, ConvertsNamesAndHardwareAddressesOfEveryShape) {
  std::vector<std::uint8_t> sixteen(16, 0xAB);
  Scenario scenario;
  scenario.subnetBatches = {{0, true, {kSubnetA}}};
  scenario.clientBatches[kSubnetA] = {
      {0,
       true,
       {LeaseOf(1, u"pc.example."), LeaseOf(2, u"two.."), LeaseOf(3, u"."),
        LeaseOf(4, std::nullopt), LeaseOf(5, u"", {}), LeaseOf(6, u"\u00e9t\u00e9", sixteen),
        LeaseOf(7, u"pc-\u00e9t\u00e9.")}}};
  QueryRun run = Run(scenario);
  ASSERT_EQ(run.leases.size(), 7u);
  EXPECT_EQ(run.leases[0].HostName, "pc.example");
  EXPECT_EQ(run.leases[1].HostName, "two.");
  EXPECT_EQ(run.leases[2].HostName, "");
  EXPECT_EQ(run.leases[3].HostName, "");
  EXPECT_EQ(run.leases[4].MacAddress, "");
  EXPECT_EQ(run.leases[5].HostName, "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(run.leases[5].MacAddress, "AB-AB-AB-AB-AB-AB-AB-AB-AB-AB-AB-AB-AB-AB-AB-AB");
  EXPECT_EQ(run.leases[6].HostName, "pc-\xc3\xa9t\xc3\xa9");
}

TEST_F(LeaseQuery, WritesOneSubnetLinePerBatchAndSumsTheBatches) {
  Scenario scenario;
  scenario.subnetBatches = {{234, true, {kSubnetA}}, {0, true, {kSubnetB, kSubnetC}}};
  scenario.clientBatches[kSubnetA] = {{0, true, {LeaseOf(1)}}};
  scenario.clientBatches[kSubnetC] = {{0, true, {LeaseOf(2), LeaseOf(3)}}};
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.console,
            "DHCP Subnet number = 1\r\n"
            "Reading position: 10.1.2.0\r\n"
            "DHCP Subnet number = 2\r\n"
            "Reading position: 10.2.0.0\r\n"
            "Reading position: 10.3.0.0\r\n");
  EXPECT_EQ(run.count, 3);
  EXPECT_EQ(ResumeHandlesOf("DhcpEnumSubnets"), (std::vector<DHCP_RESUME_HANDLE>{0, 1}));
}

// A server too large to script batch by batch: two subnets whose batches are made when asked for,
// every batch but a subnet's last ending in 234, and leases without comment or owner names.
TEST_F(LeaseQuery, ReadsBatchesThatTheServerMakesWhenAskedFor) {
  Scenario scenario;
  scenario.subnetBatches = {{0, true, {kSubnetA, kSubnetB}}};
  scenario.clientSource = [](DHCP_IP_ADDRESS subnet, std::uint32_t batch, ClientBatch& answer) {
    const std::uint32_t batches = subnet == kSubnetA ? 3 : 1;
    if (batch >= batches) {
      return false;
    }
    answer.status = batch + 1 < batches ? 234u : 0u;
    answer.leases.resize(2);
    for (std::uint32_t i = 0; i < 2; ++i) {
      std::u16string name = u"g";
      name += static_cast<char16_t>(u'0' + batch);
      answer.leases[i] = LeaseOf(subnet + batch * 2 + i, name);
      answer.leases[i].withOwnerTexts = i == 0;
    }
    return true;
  };
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.count, 8);
  ASSERT_EQ(run.leases.size(), 8u);
  EXPECT_EQ(run.leases[0].IpAddress, "10.1.2.0");
  EXPECT_EQ(run.leases[5].IpAddress, "10.1.2.5");
  EXPECT_EQ(run.leases[5].HostName, "g2");
  EXPECT_EQ(run.leases[7].IpAddress, "10.2.0.1");
  EXPECT_EQ(ResumeHandlesOf("DhcpEnumSubnetClients"),
            (std::vector<DHCP_RESUME_HANDLE>{0, 1, 2, 0}));
}

TEST_F(LeaseQuery, SubnetBatchWithoutArrayEndsTheEnumeration) {
  Scenario failing;
  failing.subnetBatches = {{1722, false, {}}};
  EXPECT_EQ(Run(failing).console, "\r\nError: The RPC server is unavailable\r\n");

  // More data promised but no array delivered: an empty batch, and the next batch is read.
  Scenario noArray;
  noArray.subnetBatches = {{234, false, {}}, {0, true, {kSubnetA}}};
  EXPECT_EQ(Run(noArray).console,
            "DHCP Subnet number = 0\r\n"
            "DHCP Subnet number = 1\r\nReading position: 10.1.2.0\r\n");
  EXPECT_EQ(ResumeHandlesOf("DhcpEnumSubnets"), (std::vector<DHCP_RESUME_HANDLE>{0, 1}));

  Scenario successWithoutArray;
  successWithoutArray.subnetBatches = {{0, false, {}}};
  EXPECT_EQ(Run(successWithoutArray).console, "DHCP Subnet number = 0\r\n");
}

TEST_F(LeaseQuery, ReadsTheNextSubnetBatchAfterAnEmptyOneWithMoreData) {
  Scenario scenario;
  scenario.subnetBatches = {{234, true, {}}, {0, true, {kSubnetA}}};
  scenario.clientBatches[kSubnetA] = {{0, true, {LeaseOf(1)}}};
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.console,
            "DHCP Subnet number = 0\r\n"
            "DHCP Subnet number = 1\r\nReading position: 10.1.2.0\r\n");
  EXPECT_EQ(run.count, 1);
}

// A server that answers 234 without moving the resume handle would be asked for ever.
TEST_F(LeaseQuery, StopsAnEnumerationThatDoesNotMove) {
  SubnetBatch stuckSubnets{234, true, {kSubnetA}};
  stuckSubnets.stays = true;
  Scenario subnets;
  subnets.subnetBatches = {{234, true, {kSubnetB}}, stuckSubnets};
  subnets.clientBatches[kSubnetA] = {{0, true, {LeaseOf(1)}}};
  subnets.clientBatches[kSubnetB] = {{0, true, {LeaseOf(2)}}};
  QueryRun run = Run(subnets);
  EXPECT_EQ(run.console,
            "DHCP Subnet number = 1\r\nReading position: 10.2.0.0\r\n"
            "DHCP Subnet number = 1\r\nReading position: 10.1.2.0\r\n"
            "\r\nError: The data is invalid\r\n");
  EXPECT_EQ(run.count, 2);  // the subnets are whole; only their enumeration was cut

  ClientBatch stuckClients{234, true, {LeaseOf(2)}};
  stuckClients.stays = true;
  Scenario clients;
  clients.subnetBatches = {{0, true, {kSubnetA, kSubnetB}}};
  clients.clientBatches[kSubnetA] = {{234, true, {LeaseOf(1)}}, stuckClients};
  clients.clientBatches[kSubnetB] = {{0, true, {LeaseOf(3)}}};
  run = Run(clients);
  EXPECT_EQ(run.console,
            "DHCP Subnet number = 2\r\n"
            "Reading position: 10.1.2.0\r\n\r\nError: The data is invalid\r\n"
            "Reading position: 10.2.0.0\r\n");
  EXPECT_EQ(run.count, 1);
  EXPECT_EQ(ResumeHandlesOf("DhcpEnumSubnetClients"), (std::vector<DHCP_RESUME_HANDLE>{0, 1, 0}));
}

// The server's status ends an enumeration whatever comes with it, and a resume handle that goes
// back to one already sent would bring the same batches round for ever.
TEST_F(LeaseQuery, EachEnumerationEndsOnItsStatusOrWhereItGoesRound) {
  struct Case {
    const char* name;
    std::vector<SubnetBatch> subnets;
    std::vector<ClientBatch> clientsOfA;
    std::string console;
    int count;
  };
  const std::string invalid = "\r\nError: The data is invalid\r\n";
  const Case cases[] = {
      {"subnets 0, 1, 2, then 1 again",
       {{234, true, {kSubnetA}},
        {234, true, {kSubnetB}},
        {.status = 234, .subnets = {kSubnetC}, .next = 1}},
       {},
       "DHCP Subnet number = 1\r\nReading position: 10.1.2.0\r\n"
       "DHCP Subnet number = 1\r\nReading position: 10.2.0.0\r\n"
       "DHCP Subnet number = 1\r\nReading position: 10.3.0.0\r\n" +
           invalid,
       3},
      {"subnets back to the first handle",
       {{234, true, {kSubnetA}}, {.status = 234, .subnets = {kSubnetB}, .next = 0}},
       {},
       "DHCP Subnet number = 1\r\nReading position: 10.1.2.0\r\n"
       "DHCP Subnet number = 1\r\nReading position: 10.2.0.0\r\n" +
           invalid,
       2},
      {"clients 0, 1, 2, then 1 again",
       {{0, true, {kSubnetA, kSubnetB}}},
       {{234, true, {LeaseOf(1)}},
        {234, true, {LeaseOf(2)}},
        {.status = 234, .leases = {LeaseOf(3)}, .next = 1}},
       "DHCP Subnet number = 2\r\nReading position: 10.1.2.0\r\n" + invalid +
           "Reading position: 10.2.0.0\r\n",
       1},
      {"an error status with an array of subnets",
       {{234, true, {kSubnetB}}, {1722, true, {kSubnetA}}},
       {},
       "DHCP Subnet number = 1\r\nReading position: 10.2.0.0\r\n"
       "\r\nError: The RPC server is unavailable\r\n",
       1},
      {"no more items with an array of subnets", {{259, true, {kSubnetA}}}, {}, "", 0},
      {"a subnet listed twice",
       {{234, true, {kSubnetA, kSubnetB, kSubnetA}}, {0, true, {kSubnetB, kSubnetC}}},
       {},
       "DHCP Subnet number = 3\r\nReading position: 10.1.2.0\r\nReading position: 10.2.0.0\r\n"
       "DHCP Subnet number = 2\r\nReading position: 10.3.0.0\r\n",
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scenario scenario;
    scenario.subnetBatches = c.subnets;
    scenario.clientBatches[kSubnetA] =
        c.clientsOfA.empty() ? std::vector<ClientBatch>{{0, true, {LeaseOf(1)}}} : c.clientsOfA;
    scenario.clientBatches[kSubnetB] = {{0, true, {LeaseOf(2)}}};
    scenario.clientBatches[kSubnetC] = {{0, true, {LeaseOf(3)}}};
    QueryRun run = Run(scenario);
    EXPECT_EQ(run.console, c.console);
    EXPECT_EQ(run.count, c.count);
    EXPECT_EQ(run.complete, c.console.find("Error") == std::string::npos);
    EXPECT_EQ(fake_dhcp::LiveBlocks(), 0u);
  }
}

TEST_F(LeaseQuery, NoMoreItemsIsTheEndOfTheListNotAnError) {
  Scenario noSubnets;  // the first call already answers 259
  EXPECT_EQ(Run(noSubnets).console, "");

  Scenario afterABatch;
  afterABatch.subnetBatches = {{234, true, {kSubnetA}}};
  afterABatch.clientBatches[kSubnetA] = {{259, false, {}}};
  QueryRun run = Run(afterABatch);
  EXPECT_EQ(run.console, "DHCP Subnet number = 1\r\nReading position: 10.1.2.0\r\n");
  EXPECT_EQ(run.count, 0);
  EXPECT_TRUE(run.complete);
}

TEST_F(LeaseQuery, FailedClientCallSkipsOnlyThatSubnet) {
  Scenario scenario;
  scenario.subnetBatches = {{0, true, {kSubnetA, kSubnetB, kSubnetC}}};
  scenario.clientBatches[kSubnetA] = {{5, true, {LeaseOf(1)}}};  // an array with an error
  scenario.clientBatches[kSubnetB] = {{99999, false, {}}};
  scenario.clientBatches[kSubnetC] = {{0, true, {LeaseOf(3)}}};
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.console,
            "DHCP Subnet number = 3\r\n"
            "Reading position: 10.1.2.0\r\n"
            "\r\nError: Access is denied\r\n"
            "Reading position: 10.2.0.0\r\n"
            "\r\nError: 99999\r\n"  // no text for it: its number says which
            "Reading position: 10.3.0.0\r\n");
  EXPECT_EQ(run.count, 1);
  EXPECT_EQ(run.leases[0].IpAddress, "0.0.0.3");
}

TEST_F(LeaseQuery, ContinuesAClientEnumerationUntilTheServerHasSentEverything) {
  Scenario scenario;
  scenario.subnetBatches = {{0, true, {kSubnetA}}};
  scenario.clientBatches[kSubnetA] = {
      {234, true, {LeaseOf(1), LeaseOf(2)}}, {234, true, {LeaseOf(3)}}, {0, true, {LeaseOf(4)}}};
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.count, 4);
  EXPECT_EQ(run.leases[3].IpAddress, "0.0.0.4");
  EXPECT_EQ(ResumeHandlesOf("DhcpEnumSubnetClients"), (std::vector<DHCP_RESUME_HANDLE>{0, 1, 2}));
}

// Part of a subnet must not pass for all of it.
TEST_F(LeaseQuery, DropsTheBatchesOfASubnetReadBeforeAFailure) {
  Scenario scenario;
  scenario.subnetBatches = {{0, true, {kSubnetA, kSubnetB}}};
  scenario.clientBatches[kSubnetA] = {{234, true, {LeaseOf(1), LeaseOf(2)}}, {1460, false, {}}};
  scenario.clientBatches[kSubnetB] = {{234, true, {LeaseOf(3)}}, {0, true, {LeaseOf(4)}}};
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.count, 2);
  ASSERT_EQ(run.leases.size(), 2u);
  EXPECT_EQ(run.leases[0].IpAddress, "0.0.0.3");
  EXPECT_EQ(run.console,
            "DHCP Subnet number = 2\r\nReading position: 10.1.2.0\r\n"
            "\r\nError: This operation returned because the timeout period expired\r\n"
            "Reading position: 10.2.0.0\r\n");
}

// Without an array a batch adds nothing; after 234 the next batch is read all the same.
TEST_F(LeaseQuery, BatchWithoutAnArrayAddsNothing) {
  Scenario scenario;
  scenario.subnetBatches = {{0, true, {kSubnetA, kSubnetB}}};
  scenario.clientBatches[kSubnetA] = {{234, false, {}}, {0, true, {LeaseOf(9)}}};
  scenario.clientBatches[kSubnetB] = {{0, false, {}}};
  QueryRun run = Run(scenario);
  EXPECT_EQ(run.count, 1);
  EXPECT_EQ(ResumeHandlesOf("DhcpEnumSubnetClients").size(), 3u);
}

}  // namespace
