#include "platform/dhcpd/DhcpdLeaseFileRead.h"

#include <optional>
#include <utility>

#include "platform/dhcpd/DhcpdLeaseFile.h"

namespace platform::dhcpd {
namespace {

class ReaderSink final : public serverfiles::LeaseFileSink {
 public:
  explicit ReaderSink(std::int64_t now) : now_(now) {}

  void Restart() override { reader_.emplace(now_); }
  bool Take(std::string_view chunk) override { return reader_->Take(chunk); }
  bool End() override {
    leases_ = std::move(*reader_).Finish();
    return leases_.has_value();
  }

  serverfiles::LeaseTable TakeLeases() { return std::move(*leases_); }

 private:
  std::int64_t now_;
  std::optional<DhcpdLeaseReader> reader_;
  std::optional<serverfiles::LeaseTable> leases_;
};

}  // namespace

DhcpdLeaseFileRead ReadDhcpdLeaseFile(const std::string& path, serverfiles::LeaseFileAccess& access,
                                      std::int64_t now) {
  ReaderSink sink(now);
  DhcpdLeaseFileRead read;
  read.status = serverfiles::ReadLeaseFileOnce(path, access, sink);
  if (read.status == serverfiles::LeaseFileStatus::Read) {
    read.leases = sink.TakeLeases();
  }
  return read;
}

}  // namespace platform::dhcpd
