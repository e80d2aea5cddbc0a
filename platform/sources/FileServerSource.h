#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/sources/ConfigFiles.h"
#include "platform/sources/LeaseFileRead.h"
#include "platform/sources/LeaseSource.h"
#include "platform/sources/LeaseTable.h"

namespace platform::sources {

// What a server that keeps its leases in a file (dhcpd, dnsmasq) is, as a source of leases: its
// configuration names its subnets and its lease file.
struct ServerConfig {
  std::vector<Ipv4Prefix> subnets;
  std::string leaseFile;
};

// How one server's files are read (dhcpd's, dnsmasq's), for FileServerSource.
class ServerFiles {
 public:
  virtual ~ServerFiles() = default;
  // The version the source reports (which no one is shown): constant for the server's kind.
  virtual SourceVersion Version() const = 0;
  // The configuration as the server reads it now; `config` when the problem is None.
  virtual ConfigProblem ReadConfig(ServerConfig& config) = 0;
  // One whole state of the lease file; `leases` when the status is Read.
  virtual LeaseFileStatus ReadLeases(const std::string& path, LeaseTable& leases) = 0;
};

// The DHCP API's status for a configuration that was not read: one the server could not have
// started with (unreadable, malformed) means there is no server; one past the tool's bounds is
// invalid data.
std::uint32_t StatusOfConfig(ConfigProblem problem);

// The status that every subnet fails with when the lease file was not read.
std::uint32_t StatusOfLeaseFile(LeaseFileStatus status);

// A server whose leases are read from its files. The version call reads the configuration: one
// that cannot be read, or that names no subnet, is no DHCP server. Each subnet enumeration reads
// the configuration and the lease file again, so that an export is of the files as they are; the
// ranges are then read from that state of the lease file. A lease file that cannot be read fails
// every subnet with its status, never the subnets' list: the server is there, its leases are not.
class FileServerSource final : public LeaseSource {
 public:
  explicit FileServerSource(std::unique_ptr<ServerFiles> files);

  SourceReply<SourceVersion> GetVersion() override;
  SourceReply<std::vector<Ipv4Prefix>> GetSubnets() override;
  std::unique_ptr<LeaseCursor> ReadRange(AddressRange range,
                                         std::span<const AddressRange> following) override;

  // The version of the server's kind, which needs no file; for telling sources apart.
  SourceVersion KindVersion() const { return files_->Version(); }

 private:
  std::uint32_t ReadConfig(ServerConfig& config);

  std::unique_ptr<ServerFiles> files_;
  std::uint32_t leaseStatus_ = dhcp_status::kSuccess;
  // Shared with the cursors, which may outlive the enumeration that read it.
  std::shared_ptr<const LeaseTable> leases_ = std::make_shared<const LeaseTable>();
};

}  // namespace platform::sources
