#include "platform/dhcpd/DhcpdLeaseFileRead.h"

#include <optional>
#include <utility>

#include "platform/dhcpd/DhcpdLeaseFile.h"

namespace platform::dhcpd {
namespace {

class ReaderSink final : public sources::LeaseFileSink {
 public:
  explicit ReaderSink(std::int64_t now) : now_(now) {}

  void Restart() override { reader_.emplace(now_); }
  bool Take(std::string_view chunk) override { return reader_->Take(chunk); }
  bool End() override {
    leases_ = std::move(*reader_).Finish();
    return leases_.has_value();
  }

  sources::LeaseTable TakeLeases() { return std::move(*leases_); }

 private:
  std::int64_t now_;
  std::optional<DhcpdLeaseReader> reader_;
  std::optional<sources::LeaseTable> leases_;
};

}  // namespace

DhcpdLeaseFileRead ReadDhcpdLeaseFile(const std::string& path, sources::LeaseFileAccess& access,
                                      std::int64_t now) {
  ReaderSink sink(now);
  DhcpdLeaseFileRead read;
  read.status = sources::ReadLeaseFileOnce(path, access, sink);
  if (read.status == sources::LeaseFileStatus::Read) {
    read.leases = sink.TakeLeases();
  }
  return read;
}

}  // namespace platform::dhcpd
