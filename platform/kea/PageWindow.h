#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "platform/kea/KeaReply.h"
#include "platform/sources/LeaseSource.h"

namespace platform::kea {

// One lease4-get-page to send: at most `limit` leases after `after` (from the first when nullopt).
struct PageAsk {
  std::uint64_t id = 0;
  std::optional<std::uint32_t> after;
  std::uint32_t limit = 0;
};

// Which pages of lease4-get-page to have under way side by side, and the leases they bring handed
// on range by range in ascending order, exactly as a walk of one page after another hands them on.
//
// A range starts as one ask from its first address. A full page that comes back tells how many
// addresses a page covers there, and the rest of the range is cut into pieces of that many
// addresses, one ask each, so that a lease is asked for about once. A page tells of every lease
// from its start to its last lease (to the range's end, when it is short): a page that covers
// less than its piece leaves a hole, asked for again with no more leases than it has addresses;
// one that covers more spares the pieces it reaches. When the range has nothing left to ask, the
// asks go on into the ranges that follow it. What has come back and cannot be handed on yet is
// held: at most `maxHeld` pages together with those under way, besides the one the range waits
// for, which may always be asked.
class PageWindow {
 public:
  PageWindow(std::uint32_t pageLimit, std::size_t maxHeld);

  // Reads `range` from now on, and ahead into `following`. What was read for them before is kept
  // when they come in the order it was read for; the rest is dropped.
  void Begin(sources::AddressRange range, std::span<const sources::AddressRange> following);

  // The next page to ask for while `underWay` asks are under way; nothing when none may go now.
  std::optional<PageAsk> NextAsk(std::size_t underWay);

  // The answer to the ask `id`; that of an ask no longer wanted is dropped.
  void Take(std::uint64_t id, KeaReply<std::vector<KeaLease>> page);

  // The next leases of the range begun, as LeaseCursor::Next gives them; nothing while the page
  // they wait for is under way.
  std::optional<std::uint32_t> Deliver(std::vector<sources::SourceLease>& leases);

  // Everything asked for and held is forgotten.
  void Clear();

 private:
  // Addresses from `first` to `last`, both included; 64 bits, so that the one after the last
  // address of all is still a number.
  struct Span {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
  };
  struct Asked {
    Span piece;
    std::uint32_t limit = 0;
  };
  // Every lease of the span's addresses, ascending.
  struct Known {
    Span span;
    std::vector<sources::SourceLease> leases;
  };
  struct Walk {
    explicit Walk(sources::AddressRange range);

    sources::AddressRange range;
    std::uint64_t next;                     // the first address not handed on yet
    std::vector<Span> unasked;              // ascending
    std::map<std::uint64_t, Asked> asked;   // by ask id
    std::vector<Known> known;               // ascending by first address; may overlap
    std::optional<std::uint64_t> pageSpan;  // the addresses that a full page covered last
    std::uint32_t failure = dhcp_status::kSuccess;
  };

  std::optional<PageAsk> AskOf(Walk& walk, bool head, std::size_t underWay);
  std::size_t Held() const;
  Walk* OwnerOf(std::uint64_t id);
  static void SkipKnown(Walk& walk);
  void TakePage(Walk& walk, const Asked& asked, std::vector<KeaLease>& page);

  std::uint32_t pageLimit_;
  std::size_t maxHeld_;
  std::deque<Walk> walks_;  // the range begun, then those read ahead
  std::vector<sources::AddressRange> following_;
  std::uint64_t nextId_ = 1;
};

}  // namespace platform::kea
