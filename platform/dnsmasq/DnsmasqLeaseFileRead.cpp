#include "platform/dnsmasq/DnsmasqLeaseFileRead.h"

#include <optional>
#include <utility>

#include "platform/dnsmasq/DnsmasqLeaseFile.h"

namespace platform::dnsmasq {
namespace {

class ReaderSink final : public serverfiles::LeaseFileSink {
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

  serverfiles::LeaseTable TakeLeases() { return std::move(*leases_); }

 private:
  std::optional<DnsmasqLeaseReader> reader_;
  std::optional<serverfiles::LeaseTable> leases_;
};

}  // namespace

DnsmasqLeaseFileRead ReadDnsmasqLeaseFile(const std::string& path,
                                          serverfiles::LeaseFileAccess& access) {
  ReaderSink sink;
  DnsmasqLeaseFileRead read;
  read.status = serverfiles::ReadLeaseFileWhenStill(path, access, sink);
  if (read.status == serverfiles::LeaseFileStatus::Read) {
    read.leases = sink.TakeLeases();
  }
  return read;
}

}  // namespace platform::dnsmasq
