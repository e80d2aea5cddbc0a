#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dhcpd/DhcpdLexer.h"
#include "platform/sources/LeaseTable.h"

namespace platform::dhcpd {

// Reads dhcpd's lease file, a log of declarations (dhcpd.leases(5)): the last `lease ADDRESS
// { ... }` of an address says what it holds. An address is leased when that declaration's
// `binding state` is active, expired or released (the address is still the client's until the
// server reclaims it); free, backup, abandoned, reset and any other state are not leases. A
// declaration without a binding state (older servers wrote none) is active when it has not
// ended, as dhcpd takes it. The host name is the `client-hostname`, or without one the
// `set ddns-fwd-name = "...";` of the lease; the hardware address the bytes of `hardware TYPE
// xx:xx:...;`; the expiry its `ends`. Every other statement and block is skipped, whatever it
// nests. The file is taken in chunks of any size and never held whole: only the current state of
// each address is kept.
//
// What the server is writing at the end of the file (a last block or statement without its end)
// is not yet part of it and is left out. The file is invalid when a `}` closes nothing, a
// statement of a lease lacks its `;`, a lease names no IPv4 address, or its binding state,
// hardware address or end is not of dhcpd's form.
class DhcpdLeaseReader {
 public:
  // `now`: seconds since 1970-01-01 UTC, for the declarations without a binding state.
  explicit DhcpdLeaseReader(std::int64_t now) : now_(now) {}

  // False once the bytes are not a dhcpd lease file; later chunks are then not looked at.
  bool Take(std::string_view chunk);
  // The current leases after the last chunk; none when the file is invalid.
  std::optional<sources::LeaseTable> Finish() &&;

 private:
  // The statements of a lease and the lease header are at most this many tokens; longer
  // statements are of no interest and are only skipped.
  static constexpr std::size_t kKeptTokens = 6;

  struct KeptToken {
    TokenKind kind = TokenKind::Word;
    std::string text;
  };

  enum class Binding : std::uint8_t { Unstated, Leased, NotLeased };

  struct LeaseBlock {
    std::uint32_t address = 0;
    Binding binding = Binding::Unstated;
    std::array<std::uint8_t, sources::kLongestHardwareAddress> hardware{};
    std::size_t hardwareLength = 0;
    std::string clientHostname;
    std::string ddnsName;
    std::optional<std::int64_t> ends;
  };

  bool TakeToken(const Token& token);
  // Whether a statement that starts with this word is one that is read, not only skipped.
  bool IsReadStatement(std::string_view firstWord) const;
  bool OpenBlock();
  bool CloseBlock();
  bool EndStatement();
  bool TakeLeaseStatement();
  bool Word(std::size_t index, std::string_view text) const;
  void ClearStatement();
  void CommitLease();

  std::int64_t now_;
  DhcpdLexer lexer_;
  sources::LeaseTableBuilder leases_;
  bool failed_ = false;
  bool inLease_ = false;
  std::size_t skippedDepth_ = 0;  // braces open inside a block that is skipped
  std::array<KeptToken, kKeptTokens> tokens_;
  std::size_t tokenCount_ = 0;  // of the current statement, kept or not
  bool keeping_ = false;        // whether the current statement's tokens are kept
  LeaseBlock lease_;
};

// A whole file at once.
std::optional<sources::LeaseTable> ParseDhcpdLeases(std::string_view file, std::int64_t now);

}  // namespace platform::dhcpd
