#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/kea/KeaSettings.h"

namespace platform::kea {

// The largest reply body accepted: 256 MiB. Kea writes about 250 bytes per lease, so this holds
// a subnet of about a million leases, far more than any subnet a DHCP server hands out, while a
// runaway or hostile reply cannot grow the process without end.
inline constexpr std::size_t kMaxReplyBytes = std::size_t{256} << 20;

// The largest total of a reply's status lines and headers: Kea sends a few hundred bytes.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{64} << 10;

// How long a connection may take before the server counts as not answering.
inline constexpr long kConnectTimeoutSeconds = 5;

struct HttpReply {
  std::uint32_t status = 0;  // a DHCP API status; kSuccess when an HTTP 2xx reply arrived
  std::string body;
};

// One keep-alive HTTP connection for the POSTs of JSON commands, one request after another
// (Kea's agent answers only the first of pipelined requests). Transport failures come back as
// DHCP API statuses: no name, no connection, refused -> kRpcServerUnavailable; no connection in
// kConnectTimeoutSeconds or no byte in either direction for the settings' timeout -> kTimeout;
// a certificate that does not verify -> kRpcServerUnavailable; HTTP 401/403 -> kAccessDenied;
// another HTTP error, a truncated body, an oversized body or head -> kInvalidData. Memory running
// out is thrown as std::bad_alloc.
class HttpSession {
 public:
  explicit HttpSession(const KeaSettings& settings);
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  HttpReply PostJson(const std::string& url, const std::string& body);

 private:
  struct CurlRelease {
    void operator()(void* curl) const;
  };
  struct HeaderListRelease {
    void operator()(void* list) const;
  };
  std::unique_ptr<void, CurlRelease> curl_;
  std::unique_ptr<void, HeaderListRelease> headers_;
  long timeoutSeconds_;
};

}  // namespace platform::kea
