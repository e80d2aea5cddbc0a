#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kea/KeaSettings.h"
#include "platform/kea/KeaTransport.h"
#include "platform/kea/ProgressWatch.h"

namespace platform::kea {

// The largest total of a reply's status lines and headers: Kea sends a few hundred bytes.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{64} << 10;

// What a transport's connections have brought: the sockets that curl holds open for them (one a
// connection, or a few while it tries the addresses of a name), and the bytes of headers and
// bodies that curl has passed on. Every byte that arrives is progress of every request under way:
// Kea answers one command at a time, so a request queued behind others shows nothing of its own
// until its turn while the server is still busy answering.
struct CurlTraffic {
  std::vector<int> open;
  std::uint64_t bytesTaken = 0;
  bool outOfMemory = false;
};

// One request's reply as it arrives, and its no-progress limit.
struct Download {
  Download(CurlTraffic& traffic, long timeoutSeconds, std::size_t maxBytes);

  CurlTraffic& traffic;
  std::size_t maxBytes;
  std::string body;
  bool outOfMemory = false;
  std::uint64_t headerBytes = 0;
  ProgressWatch watch;
  bool silent = false;
};

// A curl handle with the settings that every request of a transport shares: the JSON headers,
// no proxy, HTTP/1.1, the connection timeout, credentials, certificates always verified, and the
// callbacks that take the reply into a Download and count the traffic. Throws std::bad_alloc.
CURL* NewCurlRequestHandle(curl_slist* headers, const KeaSettings& settings, CurlTraffic& traffic);

// The header list of every request; the handles refer to it, so it must outlive them.
curl_slist* NewHeaderList();

// Points the handle at one POST of `body` to `url` (both must outlive the transfer), its reply
// going into `download`; Release undoes it once the transfer is over.
void AimRequest(CURL* curl, const std::string& url, const std::string& body, Download& download);
void ReleaseRequest(CURL* curl);

// The reply of the transfer that ended with `code`, its body moved out of `download`.
TransportReply ReplyOfTransfer(CURL* curl, CURLcode code, Download& download);

bool IsHttpsUrl(std::string_view url);

}  // namespace platform::kea
