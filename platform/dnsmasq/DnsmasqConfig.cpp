#include "platform/dnsmasq/DnsmasqConfig.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <set>
#include <string_view>

#include "platform/dnsmasq/DhcpRange.h"
#include "platform/sources/Ipv4Text.h"

namespace platform::dnsmasq {
namespace {

using sources::ConfigProblem;

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

// One line as dnsmasq reads it: quotes removed with their escapes, white space made one space,
// a comment cut off, spaces trimmed. None for an unended quote.
std::optional<std::string> CleanLine(std::string_view line) {
  std::string clean;
  bool afterSpace = true;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        char quoted = line[i];
        if (quoted == '\\' && i + 1 < line.size()) {
          char next = line[i + 1];
          std::string_view escapes = "\"tnebr\\";
          if (escapes.find(next) != std::string_view::npos) {
            quoted = next == 't'   ? '\t'
                     : next == 'n' ? '\n'
                     : next == 'e' ? '\033'
                     : next == 'b' ? '\b'
                     : next == 'r' ? '\r'
                                   : next;
            ++i;
          }
        }
        clean += quoted;
      }
      if (i == line.size()) {
        return std::nullopt;
      }
      afterSpace = false;
      continue;
    }
    if (IsWhiteSpace(c)) {
      clean += ' ';
      afterSpace = true;
      continue;
    }
    if (afterSpace && c == '#') {
      break;
    }
    clean += c;
    afterSpace = false;
  }
  std::size_t first = clean.find_first_not_of(' ');
  if (first == std::string::npos) {
    return std::string();
  }
  return clean.substr(first, clean.find_last_not_of(' ') - first + 1);
}

struct Option {
  std::string_view name;
  std::string_view value;
};

// `name=value`, spaces allowed around the `=`; a bare name has no value.
Option OptionOf(std::string_view line) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    return {line, {}};
  }
  std::string_view name = line.substr(0, equals);
  while (!name.empty() && name.back() == ' ') {
    name.remove_suffix(1);
  }
  std::string_view value = line.substr(equals + 1);
  while (!value.empty() && value.front() == ' ') {
    value.remove_prefix(1);
  }
  return {name, value};
}

bool EndsWith(std::string_view name, std::string_view suffix) {
  return name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

// Whether dnsmasq reads a folder's entry, by its name.
bool ReadsEntry(std::string_view name, const std::vector<std::string_view>& wanted,
                const std::vector<std::string_view>& unwanted) {
  if (name.empty() || name.front() == '.' || name.back() == '~' ||
      (name.front() == '#' && name.back() == '#')) {
    return false;
  }
  auto endsWith = [&](std::string_view suffix) { return EndsWith(name, suffix); };
  if (!wanted.empty() && std::none_of(wanted.begin(), wanted.end(), endsWith)) {
    return false;
  }
  return std::none_of(unwanted.begin(), unwanted.end(), endsWith);
}

class ConfigReader {
 public:
  ConfigReader(const sources::ConfigFiles& files, std::span<const LocalIpv4Address> interfaces)
      : files_(files), interfaces_(interfaces) {}

  ConfigProblem ReadFile(const std::string& path);
  ConfigProblem TakeCommandLineOption(std::string_view option) {
    return TakeOption(OptionOf(option));
  }
  DnsmasqConfig TakeConfig() { return std::move(config_); }

 private:
  ConfigProblem TakeOption(const Option& option);
  ConfigProblem ReadFolder(std::string_view value);
  ConfigProblem AddRange(std::string_view value);
  void AddSubnet(std::uint32_t network, std::uint32_t mask);

  const sources::ConfigFiles& files_;
  std::span<const LocalIpv4Address> interfaces_;
  sources::IncludeTrail trail_;
  std::set<std::string> read_;  // identities of the files read, as dnsmasq reads each once
  DnsmasqConfig config_;
};

ConfigProblem ConfigReader::ReadFile(const std::string& path) {
  sources::ConfigFileRead file = files_.read(path);
  if (file.error != FileError::None) {
    return file.tooLarge ? ConfigProblem::TooLarge : ConfigProblem::Unreadable;
  }
  if (!read_.insert(file.identity).second) {
    return ConfigProblem::None;
  }
  if (!trail_.Enter(file.identity)) {
    return ConfigProblem::TooDeep;
  }
  ConfigProblem problem = ConfigProblem::None;
  std::string_view text = file.text;
  while (!text.empty() && problem == ConfigProblem::None) {
    std::size_t end = text.find('\n');
    std::optional<std::string> line = CleanLine(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line) {
      problem = ConfigProblem::Malformed;
    } else if (!line->empty()) {
      problem = TakeOption(OptionOf(*line));
    }
  }
  trail_.Leave();
  return problem;
}

ConfigProblem ConfigReader::TakeOption(const Option& option) {
  if (option.name == "dhcp-range") {
    return AddRange(option.value);
  }
  if (option.name == "dhcp-leasefile" && !option.value.empty()) {
    config_.leaseFile = sources::ResolvedPath(option.value);
  } else if (option.name == "pid-file" && !option.value.empty()) {
    config_.pidFile = sources::ResolvedPath(option.value);
  } else if (option.name == "conf-file" && !option.value.empty()) {
    return ReadFile(sources::ResolvedPath(option.value));
  } else if (option.name == "conf-dir" && !option.value.empty()) {
    return ReadFolder(option.value);
  }
  return ConfigProblem::None;
}

ConfigProblem ConfigReader::ReadFolder(std::string_view value) {
  std::vector<std::string_view> fields;
  for (;;) {
    std::size_t comma = value.find(',');
    fields.push_back(value.substr(0, comma));
    if (comma == std::string_view::npos) {
      break;
    }
    value.remove_prefix(comma + 1);
  }
  std::vector<std::string_view> wanted;
  std::vector<std::string_view> unwanted;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    if (!fields[i].empty() && fields[i].front() == '*') {
      wanted.push_back(fields[i].substr(1));
    } else {
      unwanted.push_back(fields[i]);
    }
  }
  std::string folder = sources::ResolvedPath(fields[0]);
  std::vector<DirectoryEntry> entries;
  if (files_.list(folder, entries) != FileError::None) {
    return ConfigProblem::Unreadable;
  }
  std::vector<std::string> names;
  for (const DirectoryEntry& entry : entries) {
    if (entry.regularFile && ReadsEntry(entry.name, wanted, unwanted)) {
      names.push_back(entry.name);
    }
  }
  std::sort(names.begin(), names.end());
  if (folder.back() != '/') {
    folder += '/';
  }
  for (const std::string& name : names) {
    ConfigProblem problem = ReadFile(folder + name);
    if (problem != ConfigProblem::None) {
      return problem;
    }
  }
  return ConfigProblem::None;
}

ConfigProblem ConfigReader::AddRange(std::string_view value) {
  DhcpRange range = ParseDhcpRange(value);
  if (range.kind == DhcpRange::Kind::Malformed) {
    return ConfigProblem::Malformed;
  }
  if (range.kind == DhcpRange::Kind::NotIpv4) {
    return ConfigProblem::None;
  }
  if (range.netmask) {
    AddSubnet(range.start & *range.netmask, *range.netmask);
    return ConfigProblem::None;
  }
  for (const LocalIpv4Address& local : interfaces_) {
    std::uint32_t network = local.address & local.netmask;
    if ((range.start & local.netmask) == network && (range.end & local.netmask) == network) {
      AddSubnet(network, local.netmask);
      break;
    }
  }
  return ConfigProblem::None;
}

void ConfigReader::AddSubnet(std::uint32_t network, std::uint32_t mask) {
  std::optional<std::uint8_t> length = sources::PrefixLengthOfNetmask(mask);
  if (!length) {
    return;
  }
  auto same = [&](const sources::Ipv4Prefix& known) {
    return known.address == network && known.length == *length;
  };
  if (std::none_of(config_.subnets.begin(), config_.subnets.end(), same)) {
    config_.subnets.push_back({network, *length});
  }
}

}  // namespace

DnsmasqConfigRead ReadDnsmasqConfig(const std::string& path, const sources::ConfigFiles& files,
                                    std::span<const LocalIpv4Address> interfaces,
                                    std::span<const std::string> commandLine) {
  ConfigReader reader(files, interfaces);
  DnsmasqConfigRead read;
  read.problem = reader.ReadFile(path);
  for (const std::string& option : commandLine) {
    if (read.problem == ConfigProblem::None) {
      read.problem = reader.TakeCommandLineOption(option);
    }
  }
  if (read.problem == ConfigProblem::None) {
    read.config = reader.TakeConfig();
  }
  return read;
}

}  // namespace platform::dnsmasq
