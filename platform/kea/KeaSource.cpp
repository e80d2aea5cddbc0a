#include "platform/kea/KeaSource.h"

#include <optional>
#include <utility>

#include "platform/kea/ControlTransport.h"
#include "platform/kea/HttpTransport.h"
#include "platform/kea/KeaEndpoint.h"
#include "platform/kea/KeaLeasePages.h"
#include "platform/kea/KeaSettings.h"
#include "platform/kea/UnixSocketTransport.h"

namespace platform::kea {
namespace {

// How many leases one lease4-get-page asks for. Kea builds a whole answer in memory before it
// sends a byte, and answers no DHCP client meanwhile. Its cost per lease grows with the size of
// the answer (worst through the 2.2 agent, which parses and writes the answer again), so smaller
// pages are not slower in total: measured at 200,000 leases (bench/kea_end_to_end.py), pages of
// 500 (about 120 KB) held kea-dhcp4 for 0.01-0.06 s each and read everything as fast as pages of
// 250 or 1000, while 1000 held the agent's path for up to 0.17 s and took longer in total.
constexpr std::uint32_t kLeasePageLimit = 500;

// The most pages held at once, those under way included, when they are read side by side: two
// for every connection, so that pages come back out of order without stopping the others. A page
// of 500 leases is about 120 KB of JSON and less once decoded, so the pages held stay under 8 MB
// beside the records of the subnet being read.
constexpr std::size_t kMaxPagesHeld = 2 * kMaxConnections;

}  // namespace

KeaSource::KeaSource(std::unique_ptr<KeaTransport> transport) : client_(std::move(transport)) {}

// Every other command goes once nothing is under way: the transport would drop it anyway, and
// the pages read ahead may be of subnets that are no longer there.
void KeaSource::StopReadingAhead() {
  if (windowed_) {
    windowed_->Abandon();
  }
}

sources::SourceReply<sources::SourceVersion> KeaSource::GetVersion() {
  StopReadingAhead();
  KeaReply<KeaVersion> reply = client_.GetVersion();
  return {reply.status, {reply.value.major, reply.value.minor}};
}

sources::SourceReply<std::vector<sources::Ipv4Prefix>> KeaSource::GetSubnets() {
  StopReadingAhead();
  KeaReply<std::vector<KeaSubnet>> reply = client_.GetSubnets();
  sources::SourceReply<std::vector<sources::Ipv4Prefix>> subnets{reply.status, {}};
  subnets.value.reserve(reply.value.size());
  for (const KeaSubnet& subnet : reply.value) {
    subnets.value.push_back(subnet.prefix);
  }
  return subnets;
}

WindowedPages& KeaSource::Windowed(ConcurrentExchange& exchange) {
  if (!windowed_) {
    windowed_ = std::make_unique<WindowedPages>(
        exchange,
        [this](std::optional<std::uint32_t> after, std::uint32_t limit) {
          return client_.LeasePageRequest(after, limit);
        },
        kLeasePageLimit, kMaxPagesHeld);
  }
  return *windowed_;
}

std::unique_ptr<sources::LeaseCursor> KeaSource::ReadRange(
    sources::AddressRange range, std::span<const sources::AddressRange> following) {
  if (ConcurrentExchange* exchange = client_.Concurrent()) {
    WindowedPages& windowed = Windowed(*exchange);
    windowed.Begin(range, following);
    return std::make_unique<WindowedRangeCursor>(windowed);
  }
  // Over the UNIX socket there is no round trip to hide: one page after another.
  return std::make_unique<KeaRangeCursor>(
      range, kLeasePageLimit, [this](std::optional<std::uint32_t> after, std::uint32_t limit) {
        return client_.GetLeasePage(after, limit);
      });
}

std::unique_ptr<sources::LeaseSource> OpenKeaSource(std::string_view server,
                                                    std::string_view localSocket) {
  std::optional<ControlEndpoint> endpoint = ControlEndpointOf(server, localSocket);
  if (!endpoint) {
    return nullptr;
  }
  return std::make_unique<KeaSource>(OpenControlTransport(*endpoint, ReadKeaSettings()));
}

std::unique_ptr<sources::LeaseSource> OpenRunningLocalKea(const std::string& socketPath) {
  UnixConnection local = ConnectUnixSocket(socketPath);
  if (local.status != dhcp_status::kSuccess) {
    return nullptr;
  }
  return std::make_unique<KeaSource>(std::make_unique<UnixSocketTransport>(
      socketPath, ReadKeaSettings(), std::move(local.socket)));
}

}  // namespace platform::kea
