#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/kea/KeaSettings.h"
#include "platform/kea/KeaTransport.h"

namespace platform::kea {

// The largest total of a reply's status lines and headers: Kea sends a few hundred bytes.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{64} << 10;

// The sockets that curl holds open for a transport's connection: one, or a few while it tries the
// addresses of a name. Every byte that arrives on them is progress of the request under way.
struct CurlSockets {
  std::vector<int> open;
  bool outOfMemory = false;
};

// One keep-alive HTTP connection to the control endpoint at `url`, for the POSTs of JSON commands,
// one request after another (Kea's agent answers only the first of pipelined requests). Transport
// failures come back as DHCP API statuses: no name, no connection, refused ->
// kRpcServerUnavailable; no connection in kConnectTimeoutSeconds or no byte in either direction for
// the settings' timeout -> kTimeout; a certificate that does not verify -> kRpcServerUnavailable;
// HTTP 401/403, or a password file that could not be read (nothing is then sent) -> kAccessDenied;
// another HTTP error, a truncated body, an oversized body or head ->
// kInvalidData; a CA file that could not be read makes every https request kRpcServerUnavailable
// before anything is sent. Memory running out is thrown as std::bad_alloc.
class HttpTransport : public KeaTransport {
 public:
  HttpTransport(std::string url, const KeaSettings& settings);
  ~HttpTransport() override;
  HttpTransport(const HttpTransport&) = delete;
  HttpTransport& operator=(const HttpTransport&) = delete;

  TransportReply Exchange(const std::string& request, std::size_t maxReplyBytes) override;
  bool NamesService() const override { return true; }

 private:
  // First, so that it outlives curl's cleanup, which closes the sockets through it.
  CurlSockets sockets_;
  struct CurlRelease {
    void operator()(void* curl) const;
  };
  struct HeaderListRelease {
    void operator()(void* list) const;
  };
  std::unique_ptr<void, CurlRelease> curl_;
  std::unique_ptr<void, HeaderListRelease> headers_;
  std::string url_;
  long timeoutSeconds_;
  bool passwordUnreadable_;
  bool caUnreadable_;
};

}  // namespace platform::kea
