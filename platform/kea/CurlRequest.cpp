#include "platform/kea/CurlRequest.h"

#include <curl/curl.h>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstddef>
#include <new>
#include <string_view>
#include <utility>

#include "platform/DhcpApi.h"
#include "platform/kea/ProgressWatch.h"

namespace platform::kea {
namespace {

// curl is C: nothing may be thrown through it, so a failure is noted and the transfer stopped.
std::size_t ReceiveBytes(char* data, std::size_t size, std::size_t count, void* context) {
  auto* download = static_cast<Download*>(context);
  std::size_t bytes = size * count;
  if (bytes > download->maxBytes - download->body.size()) {
    return 0;
  }
  try {
    download->body.append(data, bytes);
  } catch (const std::bad_alloc&) {
    download->outOfMemory = true;
    return 0;
  }
  download->traffic.bytesTaken += bytes;
  return bytes;
}

// The total of the status lines and headers (interim 1xx answers included) has its own bound, so
// that a flood of headers is refused as a reply not as described, like an oversized body.
std::size_t ReceiveHeader(char* /*data*/, std::size_t size, std::size_t count, void* context) {
  auto* download = static_cast<Download*>(context);
  std::size_t bytes = size * count;
  download->headerBytes += bytes;
  download->traffic.bytesTaken += bytes;
  return download->headerBytes <= kMaxHeaderBytes ? bytes : 0;
}

// The bytes that have arrived on the sockets, as the kernel counts them (0 for one it cannot ask).
std::uint64_t BytesArrived(const CurlTraffic& traffic) {
  std::uint64_t arrived = 0;
  for (int socket : traffic.open) {
    tcp_info info{};
    socklen_t length = sizeof info;
    constexpr std::size_t kNeeded =
        offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received;
    if (::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 && length >= kNeeded) {
      arrived += info.tcpi_bytes_received;
    }
  }
  return arrived;
}

// curl calls this at least once a second while a transfer waits; a non-zero return aborts it.
// Every byte received is progress. curl passes a header on only once its line is whole, so a
// status line or header trickled a byte at a time shows only in the kernel's count of the
// connection's bytes. The bytes curl has passed on are added, as they do not start again when a
// request moves on to a new connection.
int WatchProgress(void* context, curl_off_t /*downloadTotal*/, curl_off_t /*downloaded*/,
                  curl_off_t /*uploadTotal*/, curl_off_t uploaded) {
  auto* download = static_cast<Download*>(context);
  std::uint64_t received = BytesArrived(download->traffic) + download->traffic.bytesTaken;
  download->silent = download->watch.Expired(ProgressWatch::Clock::now(), received,
                                             static_cast<std::uint64_t>(uploaded));
  return download->silent ? 1 : 0;
}

// curl tells of each socket it makes, and closes each through CloseSocket.
int NoteSocket(void* context, curl_socket_t socket, curlsocktype purpose) {
  auto* traffic = static_cast<CurlTraffic*>(context);
  if (purpose == CURLSOCKTYPE_IPCXN) {
    try {
      traffic->open.push_back(socket);
    } catch (const std::bad_alloc&) {
      traffic->outOfMemory = true;
      return CURL_SOCKOPT_ERROR;
    }
  }
  return CURL_SOCKOPT_OK;
}

int CloseSocket(void* context, curl_socket_t socket) {
  auto* traffic = static_cast<CurlTraffic*>(context);
  std::erase(traffic->open, socket);
  return ::close(socket);
}

CURL* NewCurlHandle() {
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = initialised == CURLE_OK ? curl_easy_init() : nullptr;
  if (curl == nullptr) {
    throw std::bad_alloc();
  }
  return curl;
}

// Certificates are always verified, host name included, never silently skipped. A private CA
// replaces the system's trust store: the store's directory would otherwise still be trusted. Its
// certificates go to curl as the bytes that the settings have read (curl copies them), never as
// a path for the TLS library to open.
void ApplyTlsSettings(CURL* curl, const KeaSettings& settings) {
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  if (!settings.caFile.empty()) {
    curl_blob certificates{const_cast<char*>(settings.caCertificates.data()),
                           settings.caCertificates.size(), CURL_BLOB_COPY};
    if (curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &certificates) == CURLE_OUT_OF_MEMORY) {
      throw std::bad_alloc();
    }
    curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
  }
}

// A connection keeps the close callback and its data of the handle that opened it, even when
// another handle uses it later or the multi handle closes it: `traffic` must outlive them all.
void WatchSockets(CURL* curl, CurlTraffic& traffic) {
  curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, NoteSocket);
  curl_easy_setopt(curl, CURLOPT_SOCKOPTDATA, &traffic);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, &traffic);
}

void ApplySettings(CURL* curl, curl_slist* headers, const KeaSettings& settings) {
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  // Only the four variables of our own configure the client: no proxy from the environment.
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  // The no-progress limit is ours (curl's low-speed limit would cut a slow but steady trickle).
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, WatchProgress);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, ReceiveBytes);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, ReceiveHeader);
  if (!settings.user.empty()) {
    curl_easy_setopt(curl, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(curl, CURLOPT_USERNAME, settings.user.c_str());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, settings.password.c_str());
  }
  ApplyTlsSettings(curl, settings);
}

std::uint32_t StatusOfHttpCode(long httpCode) {
  if (httpCode >= 200 && httpCode <= 299) {
    return dhcp_status::kSuccess;
  }
  if (httpCode == 401 || httpCode == 403) {
    return dhcp_status::kAccessDenied;
  }
  return dhcp_status::kInvalidData;
}

std::uint32_t StatusOfTransferFailure(CURLcode code) {
  switch (code) {
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CIPHER:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
      return dhcp_status::kRpcServerUnavailable;
    case CURLE_OPERATION_TIMEDOUT:
      return dhcp_status::kTimeout;
    case CURLE_OUT_OF_MEMORY:
      throw std::bad_alloc();
    default:  // truncated, oversized, not HTTP (curl calls that an unsupported protocol)
      return dhcp_status::kInvalidData;
  }
}

}  // namespace

Download::Download(CurlTraffic& traffic, long timeoutSeconds, std::size_t maxBytes)
    : traffic(traffic),
      maxBytes(maxBytes),
      watch(std::chrono::seconds(timeoutSeconds), ProgressWatch::Clock::now()) {}

CURL* NewCurlRequestHandle(curl_slist* headers, const KeaSettings& settings, CurlTraffic& traffic) {
  CURL* curl = NewCurlHandle();
  try {
    ApplySettings(curl, headers, settings);
  } catch (const std::bad_alloc&) {
    curl_easy_cleanup(curl);
    throw;
  }
  WatchSockets(curl, traffic);
  return curl;
}

curl_slist* NewHeaderList() {
  // Kea's agent refuses a body without this type (HTTP 400), and has no use for "Expect".
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  curl_slist* complete = headers != nullptr ? curl_slist_append(headers, "Expect:") : nullptr;
  if (complete == nullptr) {
    curl_slist_free_all(headers);
    throw std::bad_alloc();
  }
  return complete;
}

void AimRequest(CURL* curl, const std::string& url, const std::string& body, Download& download) {
  // A Content-Length past the bound is refused before any of the body is read.
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(download.maxBytes));
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &download);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &download);
}

void ReleaseRequest(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, nullptr);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, nullptr);
}

TransportReply ReplyOfTransfer(CURL* curl, CURLcode code, Download& download) {
  if (download.outOfMemory || download.traffic.outOfMemory) {
    throw std::bad_alloc();
  }
  TransportReply reply;
  if (code != CURLE_OK) {
    reply.status = download.silent ? dhcp_status::kTimeout : StatusOfTransferFailure(code);
    return reply;
  }
  long httpCode = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &httpCode);
  reply.status = StatusOfHttpCode(httpCode);
  if (reply.status == dhcp_status::kSuccess) {
    reply.body = std::move(download.body);
  }
  return reply;
}

bool IsHttpsUrl(std::string_view url) {
  constexpr std::string_view kScheme = "https://";
  return url.size() >= kScheme.size() &&
         std::equal(kScheme.begin(), kScheme.end(), url.begin(), [](char scheme, char given) {
           return scheme == std::tolower(static_cast<unsigned char>(given));
         });
}

}  // namespace platform::kea
