#include "platform/dnsmasq/DnsmasqSource.h"

#include <utility>

#include "platform/LocalAddresses.h"
#include "platform/dnsmasq/DnsmasqConfig.h"
#include "platform/dnsmasq/DnsmasqLeaseFileRead.h"

namespace platform::dnsmasq {
namespace {

class DnsmasqFiles final : public sources::ServerFiles {
 public:
  DnsmasqFiles(std::string configPath, sources::ConfigFiles files,
               std::vector<std::string> commandLine)
      : configPath_(std::move(configPath)),
        files_(std::move(files)),
        commandLine_(std::move(commandLine)) {}

  sources::SourceVersion Version() const override { return kDnsmasqVersion; }

  sources::ConfigProblem ReadConfig(sources::ServerConfig& config) override {
    std::vector<LocalIpv4Address> interfaces = LocalIpv4Addresses();
    DnsmasqConfigRead read = ReadDnsmasqConfig(configPath_, files_, interfaces, commandLine_);
    config.subnets = std::move(read.config.subnets);
    config.leaseFile = std::move(read.config.leaseFile);
    return read.problem;
  }

  sources::LeaseFileStatus ReadLeases(const std::string& path,
                                      sources::LeaseTable& leases) override {
    sources::SystemLeaseFileAccess access;
    sources::LeaseTableRead read = ReadDnsmasqLeaseFile(path, access);
    leases = std::move(read.leases);
    return read.status;
  }

 private:
  std::string configPath_;
  sources::ConfigFiles files_;
  std::vector<std::string> commandLine_;
};

}  // namespace

std::unique_ptr<sources::FileServerSource> OpenDnsmasqSource(std::string configPath,
                                                             sources::ConfigFiles files,
                                                             std::vector<std::string> commandLine) {
  return std::make_unique<sources::FileServerSource>(std::make_unique<DnsmasqFiles>(
      std::move(configPath), std::move(files), std::move(commandLine)));
}

}  // namespace platform::dnsmasq
