#include "platform/sources/FileServerSource.h"

#include <utility>

namespace platform::sources {
namespace {

// How many leases one step of a walk gives, and so one batch of the DHCP API holds: a subnet of a
// million leases is then handed over in arrays of a few hundred kilobytes, never in one array of
// all of them beside the table they come from.
constexpr std::size_t kLeasesPerStep = 4096;

class TableCursor final : public LeaseCursor {
 public:
  TableCursor(std::shared_ptr<const LeaseTable> table, AddressRange range, std::uint32_t status)
      : table_(std::move(table)),
        next_(table_->LowerBound(range.first)),
        last_(range.last),
        status_(status) {}

  std::uint32_t Next(std::vector<SourceLease>& leases) override {
    if (status_ != dhcp_status::kSuccess) {
      return status_;
    }
    for (std::size_t given = 0; given < kLeasesPerStep; ++given, ++next_) {
      if (!InRange(next_)) {
        return dhcp_status::kSuccess;
      }
      leases.push_back(table_->At(next_));
    }
    return InRange(next_) ? dhcp_status::kMoreData : dhcp_status::kSuccess;
  }

 private:
  bool InRange(std::size_t index) const {
    return index < table_->Size() && table_->AddressAt(index) <= last_;
  }

  std::shared_ptr<const LeaseTable> table_;
  std::size_t next_;
  std::uint32_t last_;
  std::uint32_t status_;
};

}  // namespace

std::uint32_t StatusOfConfig(ConfigProblem problem) {
  switch (problem) {
    case ConfigProblem::None:
      return dhcp_status::kSuccess;
    case ConfigProblem::Unreadable:
    case ConfigProblem::Malformed:
      return dhcp_status::kRpcServerUnavailable;
    case ConfigProblem::TooDeep:
    case ConfigProblem::TooLarge:
      break;
  }
  return dhcp_status::kInvalidData;
}

std::uint32_t StatusOfLeaseFile(LeaseFileStatus status) {
  switch (status) {
    case LeaseFileStatus::Read:
      return dhcp_status::kSuccess;
    case LeaseFileStatus::NotFound:
      return dhcp_status::kFileNotFound;
    case LeaseFileStatus::AccessDenied:
      return dhcp_status::kAccessDenied;
    case LeaseFileStatus::Unreadable:
      return dhcp_status::kOpenFailed;
    case LeaseFileStatus::Invalid:
      break;
  }
  return dhcp_status::kInvalidData;
}

FileServerSource::FileServerSource(std::unique_ptr<ServerFiles> files) : files_(std::move(files)) {}

std::uint32_t FileServerSource::ReadConfig(ServerConfig& config) {
  std::uint32_t status = StatusOfConfig(files_->ReadConfig(config));
  if (status == dhcp_status::kSuccess && config.subnets.empty()) {
    // A server with nothing to serve is no DHCP server (dnsmasq as a DNS cache alone).
    status = dhcp_status::kRpcServerUnavailable;
  }
  return status;
}

SourceReply<SourceVersion> FileServerSource::GetVersion() {
  ServerConfig config;
  std::uint32_t status = ReadConfig(config);
  if (status != dhcp_status::kSuccess) {
    return {status, {}};
  }
  return {dhcp_status::kSuccess, files_->Version()};
}

SourceReply<std::vector<Ipv4Prefix>> FileServerSource::GetSubnets() {
  ServerConfig config;
  std::uint32_t status = ReadConfig(config);
  if (status != dhcp_status::kSuccess) {
    return {status, {}};
  }
  // The last state's table is let go before the file is read again.
  leases_ = std::make_shared<const LeaseTable>();
  LeaseTable leases;
  leaseStatus_ = StatusOfLeaseFile(files_->ReadLeases(config.leaseFile, leases));
  if (leaseStatus_ == dhcp_status::kSuccess) {
    leases_ = std::make_shared<const LeaseTable>(std::move(leases));
  }
  return {dhcp_status::kSuccess, std::move(config.subnets)};
}

// The whole table is in memory: a walk reads from it, ahead of nothing.
std::unique_ptr<LeaseCursor> FileServerSource::ReadRange(
    AddressRange range, std::span<const AddressRange> /*following*/) {
  return std::make_unique<TableCursor>(leases_, range, leaseStatus_);
}

}  // namespace platform::sources
