#include "platform/kea/HttpTransport.h"

#include <curl/curl.h>

#include <new>
#include <optional>
#include <utility>

#include "platform/DhcpApi.h"

namespace platform::kea {
namespace {

// How long one wait for the connections lasts at most. curl's own timers (connecting, the
// no-progress watch, which it calls at least once a second) wake it earlier.
constexpr int kWaitMilliseconds = 1000;

// The tag of Exchange's request among those of Send, which come from the caller.
constexpr std::uint64_t kExchangeTag = ~std::uint64_t{0};

CURLM* NewMultiHandle() {
  CURLM* multi = curl_multi_init();
  if (multi == nullptr) {
    throw std::bad_alloc();
  }
  // Connections are kept for the next requests, never more than the requests side by side.
  curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(kMaxConnections));
  curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, static_cast<long>(kMaxConnections));
  curl_multi_setopt(multi, CURLMOPT_PIPELINING, static_cast<long>(CURLPIPE_NOTHING));
  return multi;
}

// The time from the request's sending (once connected, past the TLS handshake) to the reply's
// first byte.
std::optional<std::chrono::microseconds> AnswerTime(CURL* curl) {
  curl_off_t sending = 0;
  curl_off_t firstByte = 0;
  if (curl_easy_getinfo(curl, CURLINFO_PRETRANSFER_TIME_T, &sending) != CURLE_OK ||
      curl_easy_getinfo(curl, CURLINFO_STARTTRANSFER_TIME_T, &firstByte) != CURLE_OK ||
      firstByte < sending) {
    return std::nullopt;
  }
  return std::chrono::microseconds(firstByte - sending);
}

}  // namespace

// One request's handle, and what it carries while a request is under way on it.
struct HttpTransport::Lane {
  Lane(CURLM* multi, CURL* handle) : multi(multi), curl(handle) {}
  ~Lane() {
    if (download) {
      curl_multi_remove_handle(multi, curl);
    }
    curl_easy_cleanup(curl);
  }
  Lane(const Lane&) = delete;
  Lane& operator=(const Lane&) = delete;

  CURLM* multi;
  CURL* curl;
  std::uint64_t tag = 0;
  std::string request;
  std::optional<Download> download;  // while a request is under way
};

void HttpTransport::MultiRelease::operator()(void* multi) const {
  curl_multi_cleanup(static_cast<CURLM*>(multi));
}

void HttpTransport::HeaderListRelease::operator()(void* list) const {
  curl_slist_free_all(static_cast<curl_slist*>(list));
}

HttpTransport::HttpTransport(std::string url, const KeaSettings& settings)
    : multi_(NewMultiHandle()),
      headers_(NewHeaderList()),
      settings_(settings),
      url_(std::move(url)),
      caUnreadable_(settings.caUnreadable && IsHttpsUrl(url_)) {}

HttpTransport::~HttpTransport() = default;

TransportReply HttpTransport::Exchange(const std::string& request, std::size_t maxReplyBytes) {
  Abandon();
  Send(kExchangeTag, request, maxReplyBytes);
  std::vector<TaggedReply> replies = Collect(true);
  if (replies.empty()) {  // curl lost the transfer without a word: never seen
    return TransportReply{dhcp_status::kRpcServerUnavailable, {}};
  }
  return std::move(replies.front().reply);
}

HttpTransport::Lane& HttpTransport::FreeLane() {
  for (std::unique_ptr<Lane>& lane : lanes_) {
    if (!lane->download) {
      return *lane;
    }
  }
  CURL* curl = NewCurlRequestHandle(static_cast<curl_slist*>(headers_.get()), settings_, traffic_);
  try {
    lanes_.push_back(std::make_unique<Lane>(static_cast<CURLM*>(multi_.get()), curl));
  } catch (const std::bad_alloc&) {
    curl_easy_cleanup(curl);
    throw;
  }
  return *lanes_.back();
}

void HttpTransport::Send(std::uint64_t tag, const std::string& request, std::size_t maxReplyBytes) {
  if (settings_.passwordUnreadable || caUnreadable_) {
    std::uint32_t status = settings_.passwordUnreadable ? dhcp_status::kAccessDenied
                                                        : dhcp_status::kRpcServerUnavailable;
    refused_.push_back({tag, {status, {}}, std::nullopt});
    return;
  }
  Lane& lane = FreeLane();
  lane.tag = tag;
  lane.request = request;
  lane.download.emplace(traffic_, settings_.timeoutSeconds, maxReplyBytes);
  AimRequest(lane.curl, url_, lane.request, *lane.download);
  if (curl_multi_add_handle(static_cast<CURLM*>(multi_.get()), lane.curl) != CURLM_OK) {
    lane.download.reset();
    throw std::bad_alloc();
  }
}

void HttpTransport::TakeFinished(std::vector<TaggedReply>& replies) {
  CURLM* multi = static_cast<CURLM*>(multi_.get());
  int waiting = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &waiting)) {
    if (message->msg != CURLMSG_DONE) {
      continue;
    }
    for (std::unique_ptr<Lane>& lane : lanes_) {
      if (lane->download && lane->curl == message->easy_handle) {
        CURLcode code = message->data.result;
        curl_multi_remove_handle(multi, lane->curl);
        ReleaseRequest(lane->curl);
        TransportReply reply = ReplyOfTransfer(lane->curl, code, *lane->download);
        lane->download.reset();
        replies.push_back({lane->tag, std::move(reply), AnswerTime(lane->curl)});
        break;
      }
    }
  }
}

std::vector<TaggedReply> HttpTransport::Collect(bool wait) {
  std::vector<TaggedReply> replies = std::move(refused_);
  refused_.clear();
  CURLM* multi = static_cast<CURLM*>(multi_.get());
  int running = 0;
  while (replies.empty()) {
    if (curl_multi_perform(multi, &running) == CURLM_OUT_OF_MEMORY) {
      throw std::bad_alloc();
    }
    TakeFinished(replies);
    if (!replies.empty() || running == 0 || !wait) {
      break;
    }
    curl_multi_poll(multi, nullptr, 0, kWaitMilliseconds, nullptr);
  }
  return replies;
}

void HttpTransport::Abandon() {
  refused_.clear();
  for (std::unique_ptr<Lane>& lane : lanes_) {
    if (lane->download) {
      // A transfer removed before its end takes its connection with it.
      curl_multi_remove_handle(static_cast<CURLM*>(multi_.get()), lane->curl);
      ReleaseRequest(lane->curl);
      lane->download.reset();
    }
  }
}

}  // namespace platform::kea
