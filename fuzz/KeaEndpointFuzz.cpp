// The server text typed at the first question, as it becomes the endpoint: the URL that curl is
// given, in which curl's own URL parser must find no credentials, and a text that is not a URL must
// not turn into a path, a query or a fragment; or kea-dhcp4's UNIX socket.

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "platform/kea/KeaEndpoint.h"

namespace {

struct UrlRelease {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != prefix[i]) {
      return false;
    }
  }
  return true;
}

bool IsUrl(std::string_view text) {
  return StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://");
}

bool HasPart(CURLU* url, CURLUPart part) {
  char* text = nullptr;
  CURLUcode code = curl_url_get(url, part, &text, 0);
  curl_free(text);
  return code == CURLUE_OK;
}

std::string PathOf(CURLU* url) {
  char* text = nullptr;
  std::string path;
  if (curl_url_get(url, CURLUPART_PATH, &text, 0) == CURLUE_OK) {
    path = text;
  }
  curl_free(text);
  return path;
}

// A text names a UNIX socket only when it is an absolute path, and then nothing else; any other
// text names the URL it always named, and the local socket only as the default.
void CheckEndpointKind(std::string_view server, const std::optional<std::string>& url) {
  std::optional<platform::kea::ControlEndpoint> endpoint = platform::kea::ControlEndpointOf(server);
  if (!server.empty() && server.front() == '/') {
    FUZZ_CHECK(endpoint && endpoint->socketPath == server && endpoint->url.empty());
    return;
  }
  FUZZ_CHECK(endpoint.has_value() == url.has_value());
  if (endpoint) {
    FUZZ_CHECK(endpoint->url == *url);
    FUZZ_CHECK(endpoint->socketPath.empty() ||
               (endpoint->socketPath == platform::kea::kLocalControlSocket &&
                server.find(':') == std::string_view::npos));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view server(reinterpret_cast<const char*>(data), size);
  std::optional<std::string> endpoint = platform::kea::ControlEndpointUrl(server);
  CheckEndpointKind(server, endpoint);
  if (!endpoint) {
    return 0;
  }
  FUZZ_CHECK(IsUrl(*endpoint));
  std::unique_ptr<CURLU, UrlRelease> url(curl_url());
  FUZZ_CHECK(url != nullptr);
  if (curl_url_set(url.get(), CURLUPART_URL, endpoint->c_str(), 0) != CURLUE_OK) {
    return 0;  // curl refuses it too: the server counts as unavailable
  }
  FUZZ_CHECK(!HasPart(url.get(), CURLUPART_USER));
  FUZZ_CHECK(!HasPart(url.get(), CURLUPART_PASSWORD));
  FUZZ_CHECK(!HasPart(url.get(), CURLUPART_OPTIONS));
  if (!IsUrl(server)) {
    FUZZ_CHECK(!HasPart(url.get(), CURLUPART_QUERY));
    FUZZ_CHECK(!HasPart(url.get(), CURLUPART_FRAGMENT));
    FUZZ_CHECK(PathOf(url.get()) == "/");
  }
  return 0;
}
