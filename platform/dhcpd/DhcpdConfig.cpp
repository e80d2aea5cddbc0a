#include "platform/dhcpd/DhcpdConfig.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/dhcpd/DhcpdLexer.h"
#include "platform/sources/Ipv4Text.h"

namespace platform::dhcpd {
namespace {

using sources::ConfigProblem;

struct OwnedToken {
  TokenKind kind;
  std::string text;
};

// Where a block's statements are: what dhcpd reads from each scope that matters here.
enum class Scope {
  Outer,      // the top of the configuration: subnets, includes, the lease file name
  Container,  // a shared-network or group: subnets and includes
};

std::optional<std::vector<OwnedToken>> TokensOf(std::string_view text) {
  DhcpdLexer lexer;
  std::vector<OwnedToken> tokens;
  auto take = [&](const Token& token) {
    tokens.push_back({token.kind, std::string(token.text)});
    return true;
  };
  if (!lexer.Feed(text, take) || lexer.InsideString() || !lexer.Finish(take)) {
    return std::nullopt;
  }
  return tokens;
}

class ConfigReader {
 public:
  explicit ConfigReader(const sources::ConfigFiles& files) : files_(files) {}

  ConfigProblem ReadFile(const std::string& path, Scope scope);
  DhcpdConfig TakeConfig() { return std::move(config_); }

 private:
  // The statements of a scope from `at` to its `}` (or the end of the file for a file's own).
  ConfigProblem ReadStatements(const std::vector<OwnedToken>& tokens, std::size_t& at, Scope scope,
                               bool inBlock);
  ConfigProblem TakeStatement(const std::vector<OwnedToken>& tokens, std::size_t first,
                              std::size_t end, Scope scope);
  ConfigProblem TakeBlock(const std::vector<OwnedToken>& tokens, std::size_t first,
                          std::size_t& at);
  ConfigProblem AddSubnet(const std::vector<OwnedToken>& tokens, std::size_t first);

  const sources::ConfigFiles& files_;
  sources::IncludeTrail trail_;
  DhcpdConfig config_;
};

bool IsWord(const std::vector<OwnedToken>& tokens, std::size_t index, std::string_view text) {
  return index < tokens.size() && tokens[index].kind == TokenKind::Word &&
         tokens[index].text == text;
}

// A block's whole body, from just after its `{` to just after its `}`.
bool SkipBlock(const std::vector<OwnedToken>& tokens, std::size_t& at) {
  std::size_t depth = 1;
  for (; at < tokens.size(); ++at) {
    if (tokens[at].kind == TokenKind::OpenBrace) {
      ++depth;
    } else if (tokens[at].kind == TokenKind::CloseBrace && --depth == 0) {
      ++at;
      return true;
    }
  }
  return false;
}

ConfigProblem ConfigReader::ReadFile(const std::string& path, Scope scope) {
  sources::ConfigFileRead file = files_.read(path);
  if (file.error != FileError::None) {
    return file.tooLarge ? ConfigProblem::TooLarge : ConfigProblem::Unreadable;
  }
  if (!trail_.Enter(file.identity)) {
    return ConfigProblem::TooDeep;
  }
  std::optional<std::vector<OwnedToken>> tokens = TokensOf(file.text);
  ConfigProblem problem = ConfigProblem::Malformed;
  if (tokens) {
    std::size_t at = 0;
    problem = ReadStatements(*tokens, at, scope, false);
  }
  trail_.Leave();
  return problem;
}

ConfigProblem ConfigReader::ReadStatements(const std::vector<OwnedToken>& tokens, std::size_t& at,
                                           Scope scope, bool inBlock) {
  std::size_t first = at;
  while (at < tokens.size()) {
    switch (tokens[at].kind) {
      case TokenKind::Semicolon: {
        ConfigProblem problem = TakeStatement(tokens, first, at, scope);
        if (problem != ConfigProblem::None) {
          return problem;
        }
        first = ++at;
        break;
      }
      case TokenKind::OpenBrace: {
        ++at;
        ConfigProblem problem = TakeBlock(tokens, first, at);
        if (problem != ConfigProblem::None) {
          return problem;
        }
        first = at;
        break;
      }
      case TokenKind::CloseBrace:
        if (!inBlock || first != at) {
          return ConfigProblem::Malformed;
        }
        ++at;
        return ConfigProblem::None;
      default:
        ++at;
        break;
    }
  }
  return inBlock || first != at ? ConfigProblem::Malformed : ConfigProblem::None;
}

ConfigProblem ConfigReader::TakeStatement(const std::vector<OwnedToken>& tokens, std::size_t first,
                                          std::size_t end, Scope scope) {
  if (IsWord(tokens, first, "include")) {
    if (end != first + 2 || tokens[first + 1].kind != TokenKind::String) {
      return ConfigProblem::Malformed;
    }
    return ReadFile(sources::ResolvedPath(tokens[first + 1].text), scope);
  }
  if (scope == Scope::Outer && IsWord(tokens, first, "lease-file-name")) {
    if (end != first + 2 || (tokens[first + 1].kind != TokenKind::String &&
                             tokens[first + 1].kind != TokenKind::Word)) {
      return ConfigProblem::Malformed;
    }
    config_.leaseFile = sources::ResolvedPath(tokens[first + 1].text);
  }
  if (scope == Scope::Outer && IsWord(tokens, first, "pid-file-name") && end == first + 2 &&
      tokens[first + 1].kind == TokenKind::String) {
    config_.pidFile = sources::ResolvedPath(tokens[first + 1].text);
  }
  return ConfigProblem::None;
}

ConfigProblem ConfigReader::TakeBlock(const std::vector<OwnedToken>& tokens, std::size_t first,
                                      std::size_t& at) {
  if (IsWord(tokens, first, "subnet")) {
    if (at != first + 5) {
      return ConfigProblem::Malformed;
    }
    ConfigProblem problem = AddSubnet(tokens, first);
    if (problem != ConfigProblem::None) {
      return problem;
    }
  } else if (IsWord(tokens, first, "shared-network") || IsWord(tokens, first, "group")) {
    return ReadStatements(tokens, at, Scope::Container, true);
  }
  // A subnet's own statements (pools, hosts, ranges) and every other block hold no subnet.
  return SkipBlock(tokens, at) ? ConfigProblem::None : ConfigProblem::Malformed;
}

ConfigProblem ConfigReader::AddSubnet(const std::vector<OwnedToken>& tokens, std::size_t first) {
  std::optional<std::uint32_t> network;
  std::optional<std::uint32_t> mask;
  if (tokens[first + 1].kind == TokenKind::Word && IsWord(tokens, first + 2, "netmask") &&
      tokens[first + 3].kind == TokenKind::Word) {
    network = sources::ParseIpv4Address(tokens[first + 1].text);
    mask = sources::ParseIpv4Address(tokens[first + 3].text);
  }
  if (!network || !mask || (*network & ~*mask) != 0) {
    return ConfigProblem::Malformed;
  }
  std::optional<std::uint8_t> length = sources::PrefixLengthOfNetmask(*mask);
  if (!length) {
    return ConfigProblem::Malformed;
  }
  sources::Ipv4Prefix prefix{*network, *length};
  auto same = [&](const sources::Ipv4Prefix& known) {
    return known.address == prefix.address && known.length == prefix.length;
  };
  if (std::none_of(config_.subnets.begin(), config_.subnets.end(), same)) {
    config_.subnets.push_back(prefix);
  }
  return ConfigProblem::None;
}

}  // namespace

DhcpdConfigRead ReadDhcpdConfig(const std::string& path, const sources::ConfigFiles& files) {
  ConfigReader reader(files);
  DhcpdConfigRead read;
  read.problem = reader.ReadFile(path, Scope::Outer);
  if (read.problem == ConfigProblem::None) {
    read.config = reader.TakeConfig();
  }
  return read;
}

}  // namespace platform::dhcpd
