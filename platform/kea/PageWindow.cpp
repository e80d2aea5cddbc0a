#include "platform/kea/PageWindow.h"

#include <algorithm>
#include <utility>

#include "platform/kea/KeaLeasePages.h"

namespace platform::kea {
namespace {

// Where a page that starts at `first` is asked from: the address before it, or the start.
std::optional<std::uint32_t> AfterOf(std::uint64_t first) {
  if (first == 0) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(first - 1);
}

}  // namespace

PageWindow::Walk::Walk(sources::AddressRange range)
    : range(range), next(range.first), unasked{{range.first, range.last}} {}

PageWindow::PageWindow(std::uint32_t pageLimit, std::size_t maxHeld)
    : pageLimit_(pageLimit), maxHeld_(maxHeld) {}

void PageWindow::Begin(sources::AddressRange range,
                       std::span<const sources::AddressRange> following) {
  // A walk already handing on leases cannot start again from its first address.
  auto begun = std::find_if(walks_.begin(), walks_.end(), [&](const Walk& walk) {
    return walk.range == range && walk.next == range.first;
  });
  walks_.erase(walks_.begin(), begun);
  if (walks_.empty()) {
    walks_.emplace_back(range);
  }
  std::size_t kept = 1;
  while (kept < walks_.size() && kept - 1 < following.size() &&
         walks_[kept].range == following[kept - 1]) {
    ++kept;
  }
  walks_.erase(walks_.begin() + static_cast<std::ptrdiff_t>(kept), walks_.end());
  // Every walk read ahead holds a page at least, so no more of them can be open at once.
  following_.assign(following.begin(), following.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                               following.size(), maxHeld_)));
}

void PageWindow::Clear() {
  walks_.clear();
  following_.clear();
}

// In pages' worth of leases, so that a page that brought a few counts for a few.
std::size_t PageWindow::Held() const {
  std::size_t leases = 0;
  for (const Walk& walk : walks_) {
    for (const Known& known : walk.known) {
      leases += known.leases.size();
    }
  }
  return (leases + pageLimit_ - 1) / pageLimit_;
}

// The front of what is not asked yet may have come back meanwhile with a page that covered more
// than its piece, or been handed on.
void PageWindow::SkipKnown(Walk& walk) {
  while (!walk.unasked.empty()) {
    Span& front = walk.unasked.front();
    front.first = std::max(front.first, walk.next);
    for (const Known& known : walk.known) {
      if (known.span.first <= front.first && front.first <= known.span.last) {
        front.first = known.span.last + 1;
      }
    }
    if (front.first <= front.last) {
      return;
    }
    walk.unasked.erase(walk.unasked.begin());
  }
}

std::optional<PageAsk> PageWindow::AskOf(Walk& walk, bool head, std::size_t underWay) {
  if (walk.failure != dhcp_status::kSuccess) {
    return std::nullopt;
  }
  SkipKnown(walk);
  if (walk.unasked.empty()) {
    return std::nullopt;
  }
  Span& front = walk.unasked.front();
  if (!(head && front.first == walk.next) && underWay + Held() >= maxHeld_) {
    return std::nullopt;
  }
  Span piece = front;
  if (walk.pageSpan) {
    piece.last = std::min(front.last, front.first + *walk.pageSpan - 1);
  }
  // Nor does it reach into what a page told already.
  for (const Known& known : walk.known) {
    if (known.span.first > piece.first) {
      piece.last = std::min(piece.last, known.span.first - 1);
      break;
    }
  }
  front.first = piece.last + 1;
  if (front.first > front.last) {
    walk.unasked.erase(walk.unasked.begin());
  }
  // A piece holds no more leases than it has addresses.
  std::uint32_t limit =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(pageLimit_, piece.last - piece.first + 1));
  PageAsk ask{nextId_++, AfterOf(piece.first), limit};
  walk.asked.emplace(ask.id, Asked{piece, limit});
  return ask;
}

std::optional<PageAsk> PageWindow::NextAsk(std::size_t underWay) {
  for (std::size_t i = 0;; ++i) {
    if (i == walks_.size()) {
      if (i == 0 || i - 1 >= following_.size()) {
        return std::nullopt;
      }
      walks_.emplace_back(following_[i - 1]);
    }
    if (std::optional<PageAsk> ask = AskOf(walks_[i], i == 0, underWay)) {
      return ask;
    }
    if (!walks_[i].unasked.empty() && walks_[i].failure == dhcp_status::kSuccess) {
      return std::nullopt;  // held back by the bound: later walks wait too
    }
  }
}

PageWindow::Walk* PageWindow::OwnerOf(std::uint64_t id) {
  for (Walk& walk : walks_) {
    if (walk.asked.contains(id)) {
      return &walk;
    }
  }
  return nullptr;
}

void PageWindow::Take(std::uint64_t id, KeaReply<std::vector<KeaLease>> page) {
  Walk* walk = OwnerOf(id);
  if (walk == nullptr) {
    return;
  }
  Asked asked = walk->asked.at(id);
  walk->asked.erase(id);
  if (walk->failure != dhcp_status::kSuccess) {
    return;
  }
  if (page.status == dhcp_status::kSuccess &&
      !InAscendingOrderAfter(page.value, AfterOf(asked.piece.first))) {
    page.status = dhcp_status::kInvalidData;
  }
  if (page.status != dhcp_status::kSuccess) {
    walk->failure = page.status;
    return;
  }
  TakePage(*walk, asked, page.value);
}

void PageWindow::TakePage(Walk& walk, const Asked& asked, std::vector<KeaLease>& page) {
  const bool full = page.size() >= asked.limit;
  Known known{{asked.piece.first, walk.range.last}, {}};
  if (full) {
    std::uint64_t lastLease = page.back().address;
    known.span.last = std::min<std::uint64_t>(lastLease, walk.range.last);
    // How far a page reaches here: as far as its leases spread. (Measured from the piece's first
    // address, a page from a network address that no lease has would come out one longer than
    // a page of a subnet of leases at every address, and leave a hole of one address after each.)
    if (asked.limit == pageLimit_) {
      walk.pageSpan = lastLease - page.front().address + 1;
    }
    if (lastLease < asked.piece.last) {
      Span hole{lastLease + 1, asked.piece.last};
      auto at = std::find_if(walk.unasked.begin(), walk.unasked.end(),
                             [&](const Span& span) { return span.first > hole.first; });
      walk.unasked.insert(at, hole);
    }
  }
  for (KeaLease& lease : page) {
    if (lease.address > known.span.last) {
      break;
    }
    known.leases.push_back(SourceLeaseOf(std::move(lease)));
  }
  // Asks wholly within what this page told are of no more use.
  std::erase_if(walk.asked, [&](const auto& entry) {
    const Span& piece = entry.second.piece;
    return known.span.first <= piece.first && piece.last <= known.span.last;
  });
  auto at = std::find_if(walk.known.begin(), walk.known.end(),
                         [&](const Known& other) { return other.span.first > known.span.first; });
  walk.known.insert(at, std::move(known));
}

std::optional<std::uint32_t> PageWindow::Deliver(std::vector<sources::SourceLease>& leases) {
  if (walks_.empty()) {
    return dhcp_status::kInvalidData;  // nothing begun
  }
  Walk& walk = walks_.front();
  if (walk.failure != dhcp_status::kSuccess) {
    std::uint32_t failure = walk.failure;
    walks_.pop_front();
    return failure;
  }
  while (walk.next <= walk.range.last) {
    std::erase_if(walk.known, [&](const Known& known) { return known.span.last < walk.next; });
    auto covering = std::find_if(walk.known.begin(), walk.known.end(),
                                 [&](const Known& known) { return known.span.first <= walk.next; });
    if (covering == walk.known.end()) {
      return std::nullopt;
    }
    const std::size_t before = leases.size();
    for (sources::SourceLease& lease : covering->leases) {
      if (lease.address >= walk.next) {
        leases.push_back(std::move(lease));
      }
    }
    walk.next = covering->span.last + 1;
    walk.known.erase(covering);
    if (leases.size() > before && walk.next <= walk.range.last) {
      return dhcp_status::kMoreData;
    }
  }
  walks_.pop_front();
  return dhcp_status::kSuccess;
}

}  // namespace platform::kea
