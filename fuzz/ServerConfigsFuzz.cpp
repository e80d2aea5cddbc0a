// The configuration readers over a small file system that the input makes: its parts between
// NUL bytes are the files /etc/c (the configuration), /etc/d/1, /etc/d/2, ... (which it may
// include, or read as the folder /etc/d). Both readers and the telling apart take every input:
// whatever they give is a configuration the API can carry, and nothing but the files there is
// asked for.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "platform/dhcpd/DhcpdConfig.h"
#include "platform/dnsmasq/DnsmasqConfig.h"
#include "platform/sources/ConfigKind.h"

namespace {

using platform::sources::ConfigProblem;

std::map<std::string, std::string> FilesOf(std::string_view input) {
  std::map<std::string, std::string> files;
  for (int index = 0;; ++index) {
    std::size_t end = input.find('\0');
    files[index == 0 ? "/etc/c" : "/etc/d/" + std::to_string(index)] =
        std::string(input.substr(0, end));
    if (end == std::string_view::npos) {
      return files;
    }
    input.remove_prefix(end + 1);
  }
}

platform::sources::ConfigFiles FakeFiles(const std::map<std::string, std::string>& files) {
  platform::sources::ConfigFiles fake;
  fake.read = [&files](const std::string& path) {
    FUZZ_CHECK(!path.empty() && path.front() == '/');
    platform::sources::ConfigFileRead read;
    auto found = files.find(path);
    if (found == files.end()) {
      read.error = platform::FileError::NotFound;
    } else {
      read.text = found->second;
      read.identity = path;
    }
    return read;
  };
  fake.list = [&files](const std::string& folder, std::vector<platform::DirectoryEntry>& entries) {
    entries.clear();
    if (folder != "/etc/d" && folder != "/etc/d/") {
      return platform::FileError::NotFound;
    }
    for (const auto& [path, text] : files) {
      if (path.starts_with("/etc/d/")) {
        entries.push_back({path.substr(7), true});
      }
    }
    return platform::FileError::None;
  };
  return fake;
}

template <typename Config>
void CheckConfig(ConfigProblem problem, const Config& config) {
  if (problem != ConfigProblem::None) {
    return;
  }
  FUZZ_CHECK(!config.leaseFile.empty() && config.leaseFile.front() == '/');
  for (std::size_t i = 0; i < config.subnets.size(); ++i) {
    const platform::sources::Ipv4Prefix& subnet = config.subnets[i];
    FUZZ_CHECK(subnet.length <= 32);
    FUZZ_CHECK((subnet.address & ~platform::sources::MaskOfPrefixLength(subnet.length)) == 0);
    for (std::size_t j = 0; j < i; ++j) {
      FUZZ_CHECK(config.subnets[j].address != subnet.address ||
                 config.subnets[j].length != subnet.length);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::map<std::string, std::string> files = FilesOf(input);
  platform::sources::ConfigFiles fake = FakeFiles(files);
  static_cast<void>(platform::sources::ServerKindOf(files.at("/etc/c")));

  platform::dhcpd::DhcpdConfigRead dhcpd = platform::dhcpd::ReadDhcpdConfig("/etc/c", fake);
  CheckConfig(dhcpd.problem, dhcpd.config);

  const platform::LocalIpv4Address interfaces[] = {{0xC0000201, 0xFFFFFF80},
                                                   {0x0A000001, 0xFF000000}};
  platform::dnsmasq::DnsmasqConfigRead dnsmasq =
      platform::dnsmasq::ReadDnsmasqConfig("/etc/c", fake, interfaces);
  CheckConfig(dnsmasq.problem, dnsmasq.config);
  return 0;
}
