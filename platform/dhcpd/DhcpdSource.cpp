#include "platform/dhcpd/DhcpdSource.h"

#include <utility>

#include "platform/dhcpd/DhcpdConfig.h"
#include "platform/dhcpd/DhcpdLeaseFileRead.h"

namespace platform::dhcpd {
namespace {

class DhcpdFiles final : public sources::ServerFiles {
 public:
  DhcpdFiles(std::string configPath, sources::ConfigFiles files)
      : configPath_(std::move(configPath)), files_(std::move(files)) {}

  sources::SourceVersion Version() const override { return kDhcpdVersion; }

  sources::ConfigProblem ReadConfig(sources::ServerConfig& config) override {
    DhcpdConfigRead read = ReadDhcpdConfig(configPath_, files_);
    config.subnets = std::move(read.config.subnets);
    config.leaseFile = std::move(read.config.leaseFile);
    return read.problem;
  }

  // A declaration without a binding state is a lease while it has not ended: ended by the clock
  // of this reading.
  sources::LeaseFileStatus ReadLeases(const std::string& path,
                                      sources::LeaseTable& leases) override {
    sources::SystemLeaseFileAccess access;
    sources::LeaseTableRead read =
        ReadDhcpdLeaseFile(path, access, access.WallClockNs() / 1'000'000'000);
    leases = std::move(read.leases);
    return read.status;
  }

 private:
  std::string configPath_;
  sources::ConfigFiles files_;
};

}  // namespace

std::unique_ptr<sources::FileServerSource> OpenDhcpdSource(std::string configPath,
                                                           sources::ConfigFiles files) {
  return std::make_unique<sources::FileServerSource>(
      std::make_unique<DhcpdFiles>(std::move(configPath), std::move(files)));
}

}  // namespace platform::dhcpd
