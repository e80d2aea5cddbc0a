#include "platform/dhcpd/DhcpdLeaseFile.h"

#include <algorithm>
#include <utility>

#include "platform/dhcpd/DhcpdTime.h"
#include "platform/sources/Ipv4Text.h"
#include "platform/sources/Utf8Text.h"

namespace platform::dhcpd {

bool DhcpdLeaseReader::Take(std::string_view chunk) {
  if (!failed_) {
    failed_ = !lexer_.Feed(chunk, [this](const Token& token) { return TakeToken(token); });
  }
  return !failed_;
}

std::optional<sources::LeaseTable> DhcpdLeaseReader::Finish() && {
  if (!failed_) {
    // A word that reaches the end belongs to a statement that has not ended: left out with it.
    failed_ = !lexer_.Finish([](const Token&) { return true; });
  }
  if (failed_) {
    return std::nullopt;
  }
  return std::move(leases_).Finish();
}

bool DhcpdLeaseReader::TakeToken(const Token& token) {
  if (skippedDepth_ > 0) {
    if (token.kind == TokenKind::OpenBrace) {
      ++skippedDepth_;
    } else if (token.kind == TokenKind::CloseBrace && --skippedDepth_ == 0) {
      // A skipped block ends its statement (`on expiry { ... }`, `host x { ... }`).
      ClearStatement();
      return true;
    }
    // Only braces count inside a skipped block.
    lexer_.SkipWordsOfStatement();
    return true;
  }
  switch (token.kind) {
    case TokenKind::Semicolon:
      return EndStatement();
    case TokenKind::OpenBrace:
      return OpenBlock();
    case TokenKind::CloseBrace:
      return CloseBlock();
    default:
      if (tokenCount_ == 0) {
        keeping_ = token.kind == TokenKind::Word && IsReadStatement(token.text);
        if (!keeping_) {
          lexer_.SkipWordsOfStatement();
        }
      }
      if (keeping_ && tokenCount_ < kKeptTokens) {
        tokens_[tokenCount_].kind = token.kind;
        tokens_[tokenCount_].text.assign(token.text);
      }
      ++tokenCount_;
      return true;
  }
}

// Most statements of a lease (starts, cltt, next and rewind binding state, uid, ...) are only
// skipped: their tokens are not even copied.
bool DhcpdLeaseReader::IsReadStatement(std::string_view firstWord) const {
  if (!inLease_) {
    return firstWord == "lease";
  }
  return firstWord == "binding" || firstWord == "hardware" || firstWord == "client-hostname" ||
         firstWord == "set" || firstWord == "ends";
}

bool DhcpdLeaseReader::Word(std::size_t index, std::string_view text) const {
  return keeping_ && index < std::min(tokenCount_, kKeptTokens) &&
         tokens_[index].kind == TokenKind::Word && tokens_[index].text == text;
}

void DhcpdLeaseReader::ClearStatement() {
  tokenCount_ = 0;
  keeping_ = false;
}

bool DhcpdLeaseReader::OpenBlock() {
  if (!inLease_ && Word(0, "lease")) {
    std::optional<std::uint32_t> address;
    if (tokenCount_ == 2 && tokens_[1].kind == TokenKind::Word) {
      address = sources::ParseIpv4Address(tokens_[1].text);
    }
    if (!address) {
      return false;
    }
    inLease_ = true;
    lease_ = LeaseBlock{};
    lease_.address = *address;
  } else {
    skippedDepth_ = 1;
  }
  ClearStatement();
  if (skippedDepth_ > 0) {
    lexer_.SkipWordsOfStatement();
  }
  return true;
}

bool DhcpdLeaseReader::CloseBlock() {
  if (!inLease_ || tokenCount_ != 0) {
    return false;
  }
  CommitLease();
  inLease_ = false;
  return true;
}

bool DhcpdLeaseReader::EndStatement() {
  bool taken = !inLease_ || TakeLeaseStatement();
  ClearStatement();
  return taken;
}

bool DhcpdLeaseReader::TakeLeaseStatement() {
  if (!keeping_ || tokenCount_ > kKeptTokens) {
    return true;
  }
  const std::size_t count = tokenCount_;
  if (Word(0, "binding") && Word(1, "state")) {
    if (count != 3 || tokens_[2].kind != TokenKind::Word) {
      return false;
    }
    const std::string& state = tokens_[2].text;
    lease_.binding = state == "active" || state == "expired" || state == "released"
                         ? Binding::Leased
                         : Binding::NotLeased;
  } else if (Word(0, "hardware")) {
    if (count != 3 || tokens_[1].kind != TokenKind::Word || tokens_[2].kind != TokenKind::Word) {
      return false;
    }
    std::optional<std::size_t> length =
        sources::ParseHardwareAddress(tokens_[2].text, lease_.hardware);
    if (!length) {
      return false;
    }
    lease_.hardwareLength = *length;
  } else if (Word(0, "client-hostname")) {
    if (count != 2 || tokens_[1].kind != TokenKind::String) {
      return false;
    }
    lease_.clientHostname = tokens_[1].text;
  } else if (Word(0, "set") && Word(1, "ddns-fwd-name")) {
    // A value that is no string (dhcpd writes data of other kinds as hex) names no host.
    if (count == 4 && tokens_[2].kind == TokenKind::Equals &&
        tokens_[3].kind == TokenKind::String) {
      lease_.ddnsName = tokens_[3].text;
    }
  } else if (Word(0, "ends")) {
    std::string_view words[kKeptTokens];
    for (std::size_t i = 1; i < count; ++i) {
      if (tokens_[i].kind != TokenKind::Word) {
        return false;
      }
      words[i - 1] = tokens_[i].text;
    }
    LeaseTime ends = ParseLeaseTime(std::span<const std::string_view>(words, count - 1));
    if (!ends.valid) {
      return false;
    }
    lease_.ends = ends.seconds;
  }
  return true;
}

void DhcpdLeaseReader::CommitLease() {
  bool leased = lease_.binding == Binding::Leased;
  if (lease_.binding == Binding::Unstated) {
    leased = !lease_.ends || *lease_.ends > now_;
  }
  if (!leased) {
    leases_.Remove(lease_.address);
    return;
  }
  std::string name = sources::HostNameText(lease_.clientHostname);
  if (name.empty()) {
    name = sources::HostNameText(lease_.ddnsName);
  }
  // An end before 1970 (a date dhcpd never writes) has passed as surely as one at 1970.
  std::optional<std::uint64_t> expires;
  if (lease_.ends) {
    expires = static_cast<std::uint64_t>(std::max<std::int64_t>(*lease_.ends, 0));
  }
  leases_.Set(lease_.address,
              std::span<const std::uint8_t>(lease_.hardware.data(), lease_.hardwareLength), name,
              expires);
}

std::optional<sources::LeaseTable> ParseDhcpdLeases(std::string_view file, std::int64_t now) {
  DhcpdLeaseReader reader(now);
  reader.Take(file);
  return std::move(reader).Finish();
}

}  // namespace platform::dhcpd
