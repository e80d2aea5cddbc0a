#include "platform/dnsmasq/DnsmasqLeaseFileRead.h"

#include <optional>
#include <utility>

#include "platform/dnsmasq/DnsmasqLeaseFile.h"

namespace platform::dnsmasq {
namespace {

class ReaderSink final : public sources::LeaseFileSink {
 public:
  void Restart() override {
    reader_.emplace();
    leases_.reset();
  }
  bool Take(std::string_view chunk) override { return reader_->Take(chunk); }
  bool End() override {
    leases_ = std::move(*reader_).Finish();
    return leases_.has_value();
  }

  sources::LeaseTable TakeLeases() { return std::move(*leases_); }

 private:
  std::optional<DnsmasqLeaseReader> reader_;
  std::optional<sources::LeaseTable> leases_;
};

}  // namespace

DnsmasqLeaseFileRead ReadDnsmasqLeaseFile(const std::string& path,
                                          sources::LeaseFileAccess& access) {
  ReaderSink sink;
  DnsmasqLeaseFileRead read;
  read.status = sources::ReadLeaseFileWhenStill(path, access, sink);
  if (read.status == sources::LeaseFileStatus::Read) {
    read.leases = sink.TakeLeases();
  }
  return read;
}

}  // namespace platform::dnsmasq
