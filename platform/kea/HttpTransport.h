#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/kea/CurlRequest.h"
#include "platform/kea/KeaSettings.h"
#include "platform/kea/KeaTransport.h"

namespace platform::kea {

// The most connections a transport opens to the control endpoint, and so the most requests under
// way at once. Kea answers one command at a time, so each request beyond those that fill the
// round trip only waits at the server, and every other client of its control channel (the
// administrator's own tools, a high-availability partner) waits behind all of them. Measured over
// a link of 50 ms round trip with 200,000 leases in pages of 500 (bench/kea_end_to_end.py): 8
// requests side by side took 4.9-5.3 s with another client's command waiting at most 0.13 s,
// 16 took 3.4-3.8 s with 0.22 s, which lease4-get-all per subnet matches only by holding the
// server for over a second.
inline constexpr std::size_t kMaxConnections = 16;

// Keep-alive HTTP connections to the control endpoint at `url`, for POSTs of JSON commands: one
// request at a time with Exchange, or up to kMaxConnections side by side, each on a connection of
// its own (Kea's agent answers only the first of pipelined requests). Transport failures come back
// as DHCP API statuses: no name, no connection, refused -> kRpcServerUnavailable; no connection in
// kConnectTimeoutSeconds or no byte on any connection, in either direction, for the settings'
// timeout -> kTimeout; a certificate that does not verify -> kRpcServerUnavailable; HTTP 401/403,
// or a password file that could not be read (nothing is then sent) -> kAccessDenied; another HTTP
// error, a truncated body, an oversized body or head -> kInvalidData; a CA file that could not be
// read makes every https request kRpcServerUnavailable before anything is sent. Memory running
// out is thrown as std::bad_alloc.
class HttpTransport : public KeaTransport, private ConcurrentExchange {
 public:
  HttpTransport(std::string url, const KeaSettings& settings);
  ~HttpTransport() override;
  HttpTransport(const HttpTransport&) = delete;
  HttpTransport& operator=(const HttpTransport&) = delete;

  TransportReply Exchange(const std::string& request, std::size_t maxReplyBytes) override;
  bool NamesService() const override { return true; }
  ConcurrentExchange* Concurrent() override { return this; }

 private:
  struct Lane;
  struct MultiRelease {
    void operator()(void* multi) const;
  };
  struct HeaderListRelease {
    void operator()(void* list) const;
  };

  std::size_t Lanes() const override { return kMaxConnections; }
  void Send(std::uint64_t tag, const std::string& request, std::size_t maxReplyBytes) override;
  std::vector<TaggedReply> Collect(bool wait) override;
  void Abandon() override;

  Lane& FreeLane();
  void TakeFinished(std::vector<TaggedReply>& replies);

  // First, so that it outlives every connection, which curl closes through it.
  CurlTraffic traffic_;
  std::unique_ptr<void, MultiRelease> multi_;
  std::unique_ptr<void, HeaderListRelease> headers_;
  // Last, so that the handles go before the multi handle and the header list they use.
  std::vector<std::unique_ptr<Lane>> lanes_;
  std::vector<TaggedReply> refused_;  // replies decided before sending, for the next Collect
  KeaSettings settings_;
  std::string url_;
  bool caUnreadable_;
};

}  // namespace platform::kea
