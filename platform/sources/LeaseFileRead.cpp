#include "platform/sources/LeaseFileRead.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace platform::sources {
namespace {

// Between two readings of a file that was still but not whole (a last line that does not end),
// so that waiting for its writer does not spin.
constexpr std::int64_t kRetryPauseNs = 20'000'000;

LeaseFileStatus StatusOf(FileError error) {
  switch (error) {
    case FileError::None:
      return LeaseFileStatus::Read;
    case FileError::NotFound:
      return LeaseFileStatus::NotFound;
    case FileError::AccessDenied:
      return LeaseFileStatus::AccessDenied;
    case FileError::NotAFile:
    case FileError::Failed:
      break;
  }
  return LeaseFileStatus::Unreadable;
}

struct Reading {
  LeaseFileStatus status = LeaseFileStatus::Read;
  std::uint64_t bytes = 0;
  char lastByte = '\n';
};

// Every byte from the current position to the end, into the sink.
Reading ReadToEnd(LeaseFileAccess& access, LeaseFileSink& sink) {
  Reading reading;
  std::vector<char> buffer(kLeaseFileChunk);
  for (;;) {
    std::size_t count = 0;
    FileError error = access.Read(buffer.data(), buffer.size(), count);
    if (error != FileError::None) {
      reading.status = StatusOf(error);
      return reading;
    }
    if (count == 0) {
      reading.status = sink.End() ? LeaseFileStatus::Read : LeaseFileStatus::Invalid;
      return reading;
    }
    reading.bytes += count;
    reading.lastByte = buffer[count - 1];
    if (reading.bytes > kLargestLeaseFile || !sink.Take(std::string_view(buffer.data(), count))) {
      reading.status = LeaseFileStatus::Invalid;
      return reading;
    }
  }
}

// Opens the file and stamps it; Read when both worked.
LeaseFileStatus OpenAndStamp(const std::string& path, LeaseFileAccess& access, FileStamp& stamp) {
  FileError error = access.Open(path);
  if (error == FileError::None) {
    error = access.Stamp(stamp);
  }
  return StatusOf(error);
}

// Whether the file has been still for kQuietNs: by its modification time when that is old enough
// (and not in the future), otherwise by watching it for that long. An empty file is always
// watched: a truncation sets the size before the modification time (tried on ext4), so the file
// that a rewrite has just emptied can show the time of the state before.
bool HasBeenStill(LeaseFileAccess& access, const FileStamp& stamp) {
  std::int64_t age = access.WallClockNs() - stamp.modifiedNs;
  if (age >= kQuietNs && stamp.size != 0) {
    return true;
  }
  if (age >= kQuietNs) {
    age = 0;
  }
  access.Sleep(age > 0 ? kQuietNs - age : kQuietNs);
  FileStamp later;
  return access.Stamp(later) == FileError::None && later == stamp;
}

}  // namespace

std::int64_t SystemLeaseFileAccess::WallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t SystemLeaseFileAccess::SteadyClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SystemLeaseFileAccess::Sleep(std::int64_t nanoseconds) {
  std::this_thread::sleep_for(std::chrono::nanoseconds(nanoseconds));
}

LeaseFileStatus ReadLeaseFileOnce(const std::string& path, LeaseFileAccess& access,
                                  LeaseFileSink& sink) {
  FileStamp stamp;
  LeaseFileStatus status = OpenAndStamp(path, access, stamp);
  if (status != LeaseFileStatus::Read) {
    return status;
  }
  if (stamp.size > kLargestLeaseFile) {
    return LeaseFileStatus::Invalid;
  }
  sink.Restart();
  return ReadToEnd(access, sink).status;
}

LeaseFileStatus ReadLeaseFileWhenStill(const std::string& path, LeaseFileAccess& access,
                                       LeaseFileSink& sink) {
  const std::int64_t start = access.SteadyClockNs();
  for (;;) {
    FileStamp before;
    LeaseFileStatus status = OpenAndStamp(path, access, before);
    if (status != LeaseFileStatus::Read) {
      return status;
    }
    if (before.size > kLargestLeaseFile) {
      return LeaseFileStatus::Invalid;
    }
    if (HasBeenStill(access, before)) {
      sink.Restart();
      Reading reading = ReadToEnd(access, sink);
      if (reading.status != LeaseFileStatus::Read && reading.status != LeaseFileStatus::Invalid) {
        return reading.status;
      }
      FileStamp after;
      bool same = access.Stamp(after) == FileError::None && after == before;
      // Bytes that do not parse are the file's own fault only when it did not change meanwhile:
      // a reading that crossed a rewrite joins the start of one state to the rest of another.
      if (same && reading.status == LeaseFileStatus::Invalid) {
        return LeaseFileStatus::Invalid;
      }
      if (same && reading.bytes == before.size && reading.lastByte == '\n') {
        return LeaseFileStatus::Read;
      }
      if (same) {
        access.Sleep(kRetryPauseNs);
      }
    }
    if (access.SteadyClockNs() - start > kGiveUpNs) {
      return LeaseFileStatus::Invalid;
    }
  }
}

}  // namespace platform::sources
