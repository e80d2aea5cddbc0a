#include "platform/sources/FileServerSource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/sources/SourceServer.h"

namespace platform::sources {
namespace {

std::uint32_t Address(const char* text) {
  return *ParseIpv4Address(text);
}

// A server's files as the test says they are, recording which lease files were read.
struct ScriptedFiles final : ServerFiles {
  SourceVersion Version() const override { return {7, 1}; }

  ConfigProblem ReadConfig(ServerConfig& config) override {
    config.subnets = subnets;
    config.leaseFile = leaseFile;
    return problem;
  }

  LeaseFileStatus ReadLeases(const std::string& path, LeaseTable& leases) override {
    leaseReads.push_back(path);
    LeaseTableBuilder builder;
    for (std::uint32_t address : addresses) {
      builder.Set(address, {}, "h", std::nullopt);
    }
    leases = std::move(builder).Finish();
    return leaseStatus;
  }

  ConfigProblem problem = ConfigProblem::None;
  std::vector<Ipv4Prefix> subnets = {*ParseIpv4Prefix("10.1.0.0/24"),
                                     *ParseIpv4Prefix("10.2.0.0/24")};
  std::string leaseFile = "/var/lib/x.leases";
  LeaseFileStatus leaseStatus = LeaseFileStatus::Read;
  std::vector<std::uint32_t> addresses = {Address("10.1.0.5"), Address("10.2.0.7")};
  std::vector<std::string> leaseReads;
};

struct Served {
  std::unique_ptr<SourceServer> server;
  ScriptedFiles* files;
};

Served Serve() {
  auto owned = std::make_unique<ScriptedFiles>();
  ScriptedFiles* files = owned.get();
  return {std::make_unique<SourceServer>(std::make_unique<FileServerSource>(std::move(owned))),
          files};
}

// What the version call and the subnets' list say of a configuration: a server that could not
// have started with it is no server, one past the tool's bounds is invalid data, and one with
// nothing to serve is no DHCP server.
TEST(FileServerSource, ConfigurationDecidesWhetherThereIsAServer) {
  struct Row {
    ConfigProblem problem;
    bool withSubnets;
    std::uint32_t status;
  };
  for (Row row : {Row{ConfigProblem::None, true, dhcp_status::kSuccess},
                  Row{ConfigProblem::None, false, dhcp_status::kRpcServerUnavailable},
                  Row{ConfigProblem::Unreadable, true, dhcp_status::kRpcServerUnavailable},
                  Row{ConfigProblem::Malformed, true, dhcp_status::kRpcServerUnavailable},
                  Row{ConfigProblem::TooDeep, true, dhcp_status::kInvalidData},
                  Row{ConfigProblem::TooLarge, true, dhcp_status::kInvalidData}}) {
    Served served = Serve();
    served.files->problem = row.problem;
    if (!row.withSubnets) {
      served.files->subnets.clear();
    }
    SourceReply<SourceVersion> version = served.server->GetVersion();
    EXPECT_EQ(version.status, row.status) << static_cast<int>(row.problem);
    EXPECT_EQ(served.server->GetSubnets().status, row.status);
    if (row.status == dhcp_status::kSuccess) {
      EXPECT_EQ(version.value.major, 7u);
    } else {
      // No server: its lease file is not even looked at.
      EXPECT_TRUE(served.files->leaseReads.empty());
    }
  }
}

// The server is there, its leases are not: the subnets are listed, and each fails with the
// status of the lease file, so that nothing is saved.
TEST(FileServerSource, LeaseFileNotReadFailsEachSubnetWithItsStatus) {
  struct Row {
    LeaseFileStatus lease;
    std::uint32_t status;
  };
  for (Row row : {Row{LeaseFileStatus::NotFound, dhcp_status::kFileNotFound},
                  Row{LeaseFileStatus::AccessDenied, dhcp_status::kAccessDenied},
                  Row{LeaseFileStatus::Unreadable, dhcp_status::kOpenFailed},
                  Row{LeaseFileStatus::Invalid, dhcp_status::kInvalidData}}) {
    Served served = Serve();
    served.files->leaseStatus = row.lease;
    SourceReply<std::vector<DHCP_IP_ADDRESS>> subnets = served.server->GetSubnets();
    ASSERT_EQ(subnets.status, dhcp_status::kSuccess);
    ASSERT_EQ(subnets.value.size(), 2u);
    for (DHCP_IP_ADDRESS subnet : subnets.value) {
      ClientBatch batch = served.server->GetClients(subnet, 0);
      EXPECT_EQ(batch.status, row.status);
      EXPECT_TRUE(batch.leases.empty());
    }
  }
}

// A large subnet comes in batches of a bounded size, each lease once, in ascending order; a lease
// in no subnet comes nowhere.
TEST(FileServerSource, LargeSubnetInBoundedBatchesEachLeaseOnce) {
  Served served = Serve();
  served.files->subnets = {*ParseIpv4Prefix("10.0.0.0/12")};
  served.files->addresses.clear();
  for (std::uint32_t i = 0; i < 10000; ++i) {
    served.files->addresses.push_back(Address("10.0.0.0") + i * 7);
  }
  served.files->addresses.push_back(Address("11.0.0.1"));
  ASSERT_EQ(served.server->GetSubnets().status, dhcp_status::kSuccess);
  std::vector<std::uint32_t> got;
  std::vector<std::uint32_t> statuses;
  DHCP_RESUME_HANDLE resume = 0;
  for (int i = 0; i < 100; ++i) {
    ClientBatch batch = served.server->GetClients(Address("10.0.0.0"), resume);
    statuses.push_back(batch.status);
    EXPECT_LE(batch.leases.size(), 4096u);
    for (const SourceLease& lease : batch.leases) {
      got.push_back(lease.address);
    }
    if (batch.status != dhcp_status::kMoreData) {
      break;
    }
    resume = batch.resume;
  }
  std::vector<std::uint32_t> expected(served.files->addresses.begin(),
                                      served.files->addresses.end() - 1);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(statuses, (std::vector<std::uint32_t>{234, 234, 0}));
}

// Every enumeration is of the files as they are then, the lease file the one that the
// configuration names at that moment.
TEST(FileServerSource, EachEnumerationReadsTheFilesAgain) {
  Served served = Serve();
  ASSERT_EQ(served.server->GetSubnets().status, dhcp_status::kSuccess);
  EXPECT_EQ(served.server->GetClients(Address("10.1.0.0"), 0).leases.size(), 1u);
  served.files->addresses.push_back(Address("10.1.0.6"));
  served.files->leaseFile = "/elsewhere.leases";
  EXPECT_EQ(served.server->GetClients(Address("10.1.0.0"), 0).leases.size(), 1u);
  ASSERT_EQ(served.server->GetSubnets().status, dhcp_status::kSuccess);
  EXPECT_EQ(served.server->GetClients(Address("10.1.0.0"), 0).leases.size(), 2u);
  EXPECT_EQ(served.files->leaseReads,
            (std::vector<std::string>{"/var/lib/x.leases", "/elsewhere.leases"}));
}

}  // namespace
}  // namespace platform::sources
