#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ReadOnlyFile.h"

namespace platform::sources {

// The reading of a lease file in bounded chunks, never the whole file in memory.

// The largest lease file taken: past it, sizes and offsets would leave the 32 bits that the
// compact lease table and the API's counts are made for, and no server writes such a file
// (a million dhcpd leases, each declared twice, take about 400 MB).
inline constexpr std::uint64_t kLargestLeaseFile = std::uint64_t{4} << 30;
inline constexpr std::size_t kLeaseFileChunk = 1 << 20;

// How still a file must have been before a reading of it counts as whole: dnsmasq writes its
// whole file in one buffered pass, so its writes are never this far apart, and a file changed
// this recently is read once it has been still this long.
inline constexpr std::int64_t kQuietNs = 250'000'000;
// How long a file that keeps changing is waited for before it counts as invalid.
inline constexpr std::int64_t kGiveUpNs = 5'000'000'000;

enum class LeaseFileStatus {
  Read,
  NotFound,
  AccessDenied,
  Unreadable,  // not a regular file, or a failure of the system
  Invalid,     // past kLargestLeaseFile, not of the server's syntax, or never still
};

// Takes the bytes of one reading of a lease file, in order, from the start.
class LeaseFileSink {
 public:
  virtual ~LeaseFileSink() = default;
  // Called before each reading: what an earlier one gave is forgotten.
  virtual void Restart() = 0;
  // False when the bytes cannot be the server's file: the reading ends.
  virtual bool Take(std::string_view chunk) = 0;
  // The end of the bytes: false when what was taken is not the server's file.
  virtual bool End() = 0;
};

// The file and the clocks the readings need, injected so that their rules are tested without
// waiting and without a writer.
class LeaseFileAccess {
 public:
  virtual ~LeaseFileAccess() = default;
  // Opens the file afresh, closing any that was open.
  virtual FileError Open(const std::string& path) = 0;
  virtual FileError Stamp(FileStamp& stamp) = 0;
  virtual FileError Read(char* buffer, std::size_t room, std::size_t& count) = 0;
  virtual std::int64_t WallClockNs() = 0;  // since 1970-01-01 UTC, as file times are
  virtual std::int64_t SteadyClockNs() = 0;
  virtual void Sleep(std::int64_t nanoseconds) = 0;
};

// This machine's files and clocks.
class SystemLeaseFileAccess final : public LeaseFileAccess {
 public:
  FileError Open(const std::string& path) override { return file_.Open(path); }
  FileError Stamp(FileStamp& stamp) override { return file_.Stamp(stamp); }
  FileError Read(char* buffer, std::size_t room, std::size_t& count) override {
    return file_.Read(buffer, room, count);
  }
  std::int64_t WallClockNs() override;
  std::int64_t SteadyClockNs() override;
  void Sleep(std::int64_t nanoseconds) override;

 private:
  ReadOnlyFile file_;
};

// One reading from start to end of a file that is only ever appended to or replaced by rename
// (dhcpd's): the open file is one whole state, and what the server appends while it is read is
// read too, up to where the server had come.
LeaseFileStatus ReadLeaseFileOnce(const std::string& path, LeaseFileAccess& access,
                                  LeaseFileSink& sink);

// A reading of a file that its server truncates and rewrites in place (dnsmasq's) that holds one
// whole state of it: the file has been still for kQuietNs before the reading, its stamp is the
// same after it, every byte of its size was read and the last line ends. A reading that is not
// is made again; a file that has not been still for kGiveUpNs is Invalid.
LeaseFileStatus ReadLeaseFileWhenStill(const std::string& path, LeaseFileAccess& access,
                                       LeaseFileSink& sink);

}  // namespace platform::sources
