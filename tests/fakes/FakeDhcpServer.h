#pragma once

// A scripted DHCP server behind the DHCP API, linked in place of the real one. Each call serves
// the next scripted answer; every block it hands out is tracked so that tests can prove that the
// caller freed each one exactly once.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DhcpApi.h"

namespace fake_dhcp {

struct Lease {
  DHCP_IP_ADDRESS ip = 0;
  std::vector<std::uint8_t> hardware;
  std::optional<std::u16string> name;  // nothing: a null ClientName
  // False for a server that keeps no comment and no owner names: their pointers are null.
  bool withOwnerTexts = true;
};

// One answer of DhcpEnumSubnets; the resume handle counts the answers served, unless the
// answer stays: then the handle does not move and the same answer comes again and again. An
// answer with a next handle gives that one instead, so that a server can send the caller back to
// an earlier answer (0, 1, 2, 1, 2, ...). An answer may come with an array whatever its status.
struct SubnetBatch {
  std::uint32_t status = 0;
  bool withArray = true;
  std::vector<DHCP_IP_ADDRESS> subnets;
  bool stays = false;
  std::optional<DHCP_RESUME_HANDLE> next = std::nullopt;
};

// One answer of DhcpEnumSubnetClients for one subnet, with the same resume handles.
struct ClientBatch {
  std::uint32_t status = 0;
  bool withArray = true;
  std::vector<Lease> leases;
  bool stays = false;
  std::optional<DHCP_RESUME_HANDLE> next = std::nullopt;
};

// Makes the answer of a subnet's batch, counted from 0, when it is asked for, for servers too
// large to script batch by batch. It fills the answer in place, which keeps what the previous
// answer left, so that a large scenario can reuse the storage of its leases; false stands for the
// end of the subnet's batches.
using ClientBatchSource =
    std::function<bool(DHCP_IP_ADDRESS subnet, std::uint32_t batch, ClientBatch& answer)>;

// Calls beyond the scripted batches answer 259 (no more items) without an array; a subnet
// without any scripted batch answers 0 with an empty array. A scenario with a client source
// takes every subnet's batches from it instead.
struct Scenario {
  std::uint32_t versionStatus = 0;
  std::vector<SubnetBatch> subnetBatches;
  std::map<DHCP_IP_ADDRESS, std::vector<ClientBatch>> clientBatches;
  ClientBatchSource clientSource;
};

struct Call {
  std::string function;
  std::u16string server;
  DHCP_IP_ADDRESS subnet = 0;
  DHCP_RESUME_HANDLE resumeHandle = 0;
  std::uint32_t preferredMaximum = 0;
};

void SetScenario(Scenario scenario);
// The program's test builds take their scenario from the file named by kScenarioVariable; the
// first call loads it unless a scenario was set. An unset variable gives the default scenario.
void LoadScenarioFromEnvironment();
const std::vector<Call>& Calls();

std::size_t LiveBlocks();
// Frees of a pointer that was not a live block: a double free or a foreign pointer.
std::size_t BadFrees();

// The scenario file format, one item per line ('#' starts a comment line):
//   version STATUS
//   subnets STATUS [stay|next N] none | subnets STATUS [stay|next N] [A.B.C.D ...]
//   clients A.B.C.D STATUS [stay|next N] [none]    starts a batch for that subnet
//   lease A.B.C.D HEX:BYTES|- [NAME...]      NAME is the rest of the line, UTF-8 in which \uXXXX
//                                            is one UTF-16 unit; %null for none
// Throws std::runtime_error naming the line for anything it cannot read.
Scenario ParseScenario(std::string_view text);

// The environment variable naming the scenario file of the program's test build.
inline constexpr const char* kScenarioVariable = "LEASEDUMP_FAKE_SCENARIO";

}  // namespace fake_dhcp
