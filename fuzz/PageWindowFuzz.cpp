// Pages of lease4-get-page asked for side by side and answered in any order, some failing: the
// export must be that of one page after another, subnet by subnet, whatever the leases, the
// subnets (nested, adjacent, at one network address), the page size, the connections and the
// bound on what is held. A server that answers with pages of its own making (out of order, beyond
// what was asked, repeated) may fail subnets, but must never make the walk hang, skip or repeat.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "platform/kea/KeaTransport.h"
#include "platform/sources/Ipv4Text.h"
#include "platform/sources/SourceServer.h"
#include "tests/fakes/PagedKea.h"

namespace {

using namespace platform;
using namespace platform::kea;

// The fuzzer's bytes, taken one at a time; zeros once they run out.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  bool Empty() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// More asks than this for the few leases an input can hold would be a walk that does not end.
constexpr std::size_t kMostAsks = 200000;

struct Ask {
  std::uint64_t tag;
  fake_kea::PageRequest page;
};

// A Kea whose answers the fuzzer orders, fails, or (when hostile) makes up.
class FuzzedKea : public ConcurrentExchange {
 public:
  FuzzedKea(const fake_kea::PagedLeases& leases, Bytes& bytes, std::size_t lanes, bool hostile)
      : leases_(leases), bytes_(bytes), lanes_(lanes), hostile_(hostile) {}

  std::size_t Lanes() const override { return lanes_; }

  void Send(std::uint64_t tag, const std::string& request, std::size_t) override {
    FUZZ_CHECK(underWay_.size() < lanes_);
    FUZZ_CHECK(++asks_ < kMostAsks);
    Ask ask{tag, fake_kea::ParsePageRequest(request)};
    FUZZ_CHECK(ask.page.limit >= 1);
    underWay_.push_back(ask);
  }

  std::vector<TaggedReply> Collect(bool wait) override {
    std::vector<TaggedReply> replies;
    while (!underWay_.empty() && (wait || bytes_.Next() % 2 == 0)) {
      wait = false;
      std::size_t pick = bytes_.Next() % underWay_.size();
      Ask ask = underWay_[pick];
      underWay_.erase(underWay_.begin() + static_cast<std::ptrdiff_t>(pick));
      replies.push_back({ask.tag, Answer(ask), std::nullopt});
    }
    return replies;
  }

  void Abandon() override { underWay_.clear(); }

 private:
  TransportReply Answer(const Ask& ask) {
    std::uint8_t choice = bytes_.Next();
    if (choice == 0xFF) {
      return {dhcp_status::kRpcServerUnavailable, {}};
    }
    std::vector<std::uint32_t> page = leases_.Page(ask.page.after, ask.page.limit);
    if (hostile_ && choice >= 0xC0) {
      // A page of the fuzzer's making: any addresses near the page's start, any count.
      page.clear();
      std::uint32_t address = ask.page.after.value_or(0);
      for (std::uint8_t n = bytes_.Next() % 8; n > 0; --n) {
        address += static_cast<std::uint32_t>(bytes_.Next()) - 64;
        page.push_back(address);
      }
    }
    return {dhcp_status::kSuccess, fake_kea::PageReplyText(page)};
  }

  const fake_kea::PagedLeases& leases_;
  Bytes& bytes_;
  std::size_t lanes_;
  bool hostile_;
  std::vector<Ask> underWay_;
  std::size_t asks_ = 0;
};

// Each subnet's leases, or nothing for a subnet that failed.
std::vector<std::optional<std::vector<std::uint32_t>>> Export(sources::SourceServer& server) {
  std::vector<std::optional<std::vector<std::uint32_t>>> subnets;
  for (DHCP_IP_ADDRESS subnet : server.GetSubnets().value) {
    std::vector<std::uint32_t> leases;
    DHCP_RESUME_HANDLE resume = 0;
    sources::ClientBatch batch;
    do {
      batch = server.GetClients(subnet, resume);
      for (const sources::SourceLease& lease : batch.leases) {
        FUZZ_CHECK(leases.empty() || lease.address > leases.back());
        leases.push_back(lease.address);
      }
      resume = batch.resume;
    } while (batch.status == dhcp_status::kMoreData);
    subnets.push_back(batch.status == dhcp_status::kSuccess ? std::optional(leases) : std::nullopt);
  }
  return subnets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes bytes(data, size);
  const bool hostile = bytes.Next() % 2 == 1;
  const std::uint32_t limit = 1 + bytes.Next() % 24;
  const std::size_t lanes = 1 + bytes.Next() % 16;
  const std::size_t maxHeld = 1 + bytes.Next() % 40;
  std::vector<sources::Ipv4Prefix> subnets;
  for (std::uint8_t n = 1 + bytes.Next() % 5; n > 0; --n) {
    std::uint32_t network = 0x0A000000u | static_cast<std::uint32_t>(bytes.Next() % 4) << 12 |
                            static_cast<std::uint32_t>(bytes.Next()) << 4;
    subnets.push_back({network, static_cast<std::uint8_t>(18 + bytes.Next() % 15)});
  }
  fake_kea::PagedLeases leases;
  std::uint32_t address = 0x0A000000u - 8;
  for (std::uint16_t n = bytes.Next() * 4; n > 0; --n) {
    std::uint8_t step = bytes.Next();
    address += step < 0xE0 ? 1 : static_cast<std::uint32_t>(step) << 4;
    leases.addresses.push_back(address);
  }
  sources::SourceServer sequential(
      std::make_unique<fake_kea::SequentialSource>(subnets, leases, limit));
  FuzzedKea kea(leases, bytes, lanes, hostile);
  sources::SourceServer windowed(
      std::make_unique<fake_kea::WindowedSource>(subnets, kea, limit, maxHeld));
  const auto expected = Export(sequential);
  const auto got = Export(windowed);
  FUZZ_CHECK(got.size() == expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    // A failed page fails its subnet whole; a subnet read is read whole, as one page after
    // another reads it, unless a made-up page was believed (then only the order is promised).
    FUZZ_CHECK(!got[i] || hostile || *got[i] == *expected[i]);
  }
  return 0;
}
