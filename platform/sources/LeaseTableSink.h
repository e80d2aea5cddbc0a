#pragma once

#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "platform/sources/LeaseFileRead.h"
#include "platform/sources/LeaseTable.h"

namespace platform::sources {

// A server's lease file as read: its status and, when Read, its current leases.
struct LeaseTableRead {
  LeaseFileStatus status = LeaseFileStatus::Read;
  LeaseTable leases;  // when Read
};

// Feeds the readings of a lease file to a server's reader: each reading gets a fresh `Reader`,
// made from `args` (it has Take(chunk) -> bool and an rvalue Finish() -> optional<LeaseTable>),
// so nothing of a reading that was given up survives into the next one.
template <typename Reader, typename... Args>
class LeaseTableSink final : public LeaseFileSink {
 public:
  explicit LeaseTableSink(Args... args) : args_(std::move(args)...) {}

  void Restart() override {
    leases_.reset();
    std::apply([this](const Args&... args) { reader_.emplace(args...); }, args_);
  }
  bool Take(std::string_view chunk) override { return reader_->Take(chunk); }
  bool End() override {
    leases_ = std::move(*reader_).Finish();
    return leases_.has_value();
  }

  // The reading's result: the table of the reading that ended well, when `status` is Read.
  LeaseTableRead Result(LeaseFileStatus status) {
    LeaseTableRead read;
    read.status = status;
    if (status == LeaseFileStatus::Read) {
      read.leases = std::move(*leases_);
    }
    return read;
  }

 private:
  std::tuple<Args...> args_;
  std::optional<Reader> reader_;
  std::optional<LeaseTable> leases_;
};

}  // namespace platform::sources
