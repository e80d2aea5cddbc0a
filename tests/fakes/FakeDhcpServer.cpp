#include "tests/fakes/FakeDhcpServer.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/fakes/BlockChunks.h"
#include "tests/fakes/BlockSet.h"

namespace fake_dhcp {
namespace {

struct State {
  bool loaded = false;
  Scenario scenario;
  std::vector<Call> calls;
  BlockSet liveBlocks;
  ClientBatch generatedBatch;  // what the scenario's client source fills
  std::size_t badFrees = 0;
};

State& TheState() {
  static State state;
  return state;
}

std::string ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    throw std::runtime_error(std::string("fake DHCP server: cannot read ") + path);
  }
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

State& LoadedState() {
  State& state = TheState();
  if (!state.loaded) {
    LoadScenarioFromEnvironment();
  }
  return state;
}

void* AllocateBlock(std::size_t size) {
  void* block = AllocateZeroedBlock(size);
  try {
    TheState().liveBlocks.Insert(block);
  } catch (...) {
    FreeBlock(block);
    throw;
  }
  return block;
}

template <typename T>
T* AllocateArray(std::size_t count) {
  return static_cast<T*>(AllocateBlock(sizeof(T) * count));
}

char16_t* AllocateString(const std::u16string& text) {
  char16_t* copy = AllocateArray<char16_t>(text.size() + 1);
  std::memcpy(copy, text.data(), text.size() * sizeof(char16_t));
  return copy;
}

DHCP_CLIENT_INFO* AllocateClient(const Lease& lease) {
  auto* client = AllocateArray<DHCP_CLIENT_INFO>(1);
  client->ClientIpAddress = lease.ip;
  client->SubnetMask = 0xFFFFFF00;
  client->ClientHardwareAddress.DataLength = static_cast<std::uint32_t>(lease.hardware.size());
  if (!lease.hardware.empty()) {
    client->ClientHardwareAddress.Data = AllocateArray<std::uint8_t>(lease.hardware.size());
    std::memcpy(client->ClientHardwareAddress.Data, lease.hardware.data(), lease.hardware.size());
  }
  if (lease.name) {
    client->ClientName = AllocateString(*lease.name);
  }
  if (lease.withOwnerTexts) {
    client->ClientComment = AllocateString(u"");
    client->OwnerHost.NetBiosName = AllocateString(u"");
    client->OwnerHost.HostName = AllocateString(u"");
  }
  return client;
}

DHCP_CLIENT_INFO_ARRAY* AllocateClients(const std::vector<Lease>& leases) {
  auto* array = AllocateArray<DHCP_CLIENT_INFO_ARRAY>(1);
  array->NumElements = static_cast<std::uint32_t>(leases.size());
  if (!leases.empty()) {
    array->Clients = AllocateArray<DHCP_CLIENT_INFO*>(leases.size());
    for (std::size_t i = 0; i < leases.size(); ++i) {
      array->Clients[i] = AllocateClient(leases[i]);
    }
  }
  return array;
}

DHCP_IP_ARRAY* AllocateSubnets(const std::vector<DHCP_IP_ADDRESS>& subnets) {
  auto* array = AllocateArray<DHCP_IP_ARRAY>(1);
  array->NumElements = static_cast<std::uint32_t>(subnets.size());
  if (!subnets.empty()) {
    array->Elements = AllocateArray<DHCP_IP_ADDRESS>(subnets.size());
    std::memcpy(array->Elements, subnets.data(), subnets.size() * sizeof(DHCP_IP_ADDRESS));
  }
  return array;
}

template <typename Batch>
void MoveOn(const Batch& batch, DHCP_RESUME_HANDLE* resumeHandle) {
  if (batch.next) {
    *resumeHandle = *batch.next;
  } else if (!batch.stays) {
    ++*resumeHandle;
  }
}

std::uint32_t Serve(const ClientBatch& batch, DHCP_RESUME_HANDLE* resumeHandle,
                    DHCP_CLIENT_INFO_ARRAY** clientInfo, std::uint32_t* clientsRead,
                    std::uint32_t* clientsTotal) {
  MoveOn(batch, resumeHandle);
  if (batch.withArray) {
    *clientInfo = AllocateClients(batch.leases);
    *clientsRead = *clientsTotal = static_cast<std::uint32_t>(batch.leases.size());
  }
  return batch.status;
}

// A caller that never stops asking fails its test instead of hanging it: beyond this many calls
// of one scenario every enumeration answers ERROR_INVALID_PARAMETER without an array.
constexpr std::size_t kMostCalls = 100'000;

void RecordCall(const char* function, const char16_t* server, DHCP_IP_ADDRESS subnet,
                DHCP_RESUME_HANDLE resumeHandle, std::uint32_t preferredMaximum) {
  LoadedState().calls.push_back(
      {function, server != nullptr ? server : u"", subnet, resumeHandle, preferredMaximum});
}

bool AskedTooOften() {
  return TheState().calls.size() > kMostCalls;
}

}  // namespace

void LoadScenarioFromEnvironment() {
  State& state = TheState();
  state.loaded = true;
  if (const char* path = std::getenv(kScenarioVariable)) {
    state.scenario = ParseScenario(ReadFile(path));
  }
}

void SetScenario(Scenario scenario) {
  State& state = TheState();
  state.loaded = true;
  state.scenario = std::move(scenario);
  state.calls.clear();
}

const std::vector<Call>& Calls() {
  return TheState().calls;
}
std::size_t LiveBlocks() {
  return TheState().liveBlocks.Size();
}
std::size_t BadFrees() {
  return TheState().badFrees;
}

}  // namespace fake_dhcp

using fake_dhcp::LoadedState;

extern "C" {

std::uint32_t DHCP_API_CALL DhcpGetVersion(char16_t* ServerIpAddress, std::uint32_t* MajorVersion,
                                           std::uint32_t* MinorVersion) {
  fake_dhcp::RecordCall("DhcpGetVersion", ServerIpAddress, 0, 0, 0);
  *MajorVersion = 5;
  *MinorVersion = 6;
  return LoadedState().scenario.versionStatus;
}

std::uint32_t DHCP_API_CALL DhcpEnumSubnets(char16_t* ServerIpAddress,
                                            DHCP_RESUME_HANDLE* ResumeHandle,
                                            std::uint32_t PreferredMaximum,
                                            DHCP_IP_ARRAY** EnumInfo, std::uint32_t* ElementsRead,
                                            std::uint32_t* ElementsTotal) {
  *EnumInfo = nullptr;
  *ElementsRead = 0;
  *ElementsTotal = 0;
  fake_dhcp::RecordCall("DhcpEnumSubnets", ServerIpAddress, 0, *ResumeHandle, PreferredMaximum);
  if (fake_dhcp::AskedTooOften()) {
    return dhcp_status::kInvalidParameter;
  }
  const auto& batches = LoadedState().scenario.subnetBatches;
  if (*ResumeHandle >= batches.size()) {
    return dhcp_status::kNoMoreItems;
  }
  const fake_dhcp::SubnetBatch& batch = batches[*ResumeHandle];
  fake_dhcp::MoveOn(batch, ResumeHandle);
  if (batch.withArray) {
    *EnumInfo = fake_dhcp::AllocateSubnets(batch.subnets);
    *ElementsRead = *ElementsTotal = static_cast<std::uint32_t>(batch.subnets.size());
  }
  return batch.status;
}

std::uint32_t DHCP_API_CALL DhcpEnumSubnetClients(
    char16_t* ServerIpAddress, DHCP_IP_ADDRESS SubnetAddress, DHCP_RESUME_HANDLE* ResumeHandle,
    std::uint32_t PreferredMaximum, DHCP_CLIENT_INFO_ARRAY** ClientInfo, std::uint32_t* ClientsRead,
    std::uint32_t* ClientsTotal) {
  *ClientInfo = nullptr;
  *ClientsRead = 0;
  *ClientsTotal = 0;
  fake_dhcp::RecordCall("DhcpEnumSubnetClients", ServerIpAddress, SubnetAddress, *ResumeHandle,
                        PreferredMaximum);
  if (fake_dhcp::AskedTooOften()) {
    return dhcp_status::kInvalidParameter;
  }
  const fake_dhcp::Scenario& scenario = LoadedState().scenario;
  if (scenario.clientSource) {
    fake_dhcp::ClientBatch& batch = LoadedState().generatedBatch;
    return scenario.clientSource(SubnetAddress, *ResumeHandle, batch)
               ? fake_dhcp::Serve(batch, ResumeHandle, ClientInfo, ClientsRead, ClientsTotal)
               : dhcp_status::kNoMoreItems;
  }
  const auto& all = scenario.clientBatches;
  auto found = all.find(SubnetAddress);
  if (found == all.end()) {
    if (*ResumeHandle != 0) {
      return dhcp_status::kNoMoreItems;
    }
    *ResumeHandle = 1;
    *ClientInfo = fake_dhcp::AllocateClients({});
    return dhcp_status::kSuccess;
  }
  if (*ResumeHandle >= found->second.size()) {
    return dhcp_status::kNoMoreItems;
  }
  return fake_dhcp::Serve(found->second[*ResumeHandle], ResumeHandle, ClientInfo, ClientsRead,
                          ClientsTotal);
}

void DHCP_API_CALL DhcpRpcFreeMemory(void* BufferPointer) {
  fake_dhcp::State& state = fake_dhcp::TheState();
  if (!state.liveBlocks.Erase(BufferPointer)) {
    ++state.badFrees;
    return;
  }
  fake_dhcp::FreeBlock(BufferPointer);
}

}  // extern "C"
