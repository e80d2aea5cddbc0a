#include "platform/sources/LeaseFileRead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace platform::sources {
namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::int64_t kEpoch = 1'700'000'000'000'000'000;  // the fake wall clock's start

// A file and clocks of the test's own. Time moves only when the reader sleeps or reads (each
// read takes a millisecond); `writer` sets the file's text for the time it is asked about, and
// the file's modification time follows each change, as a rewrite in place does.
class FakeAccess final : public LeaseFileAccess {
 public:
  std::function<std::string(std::int64_t elapsed)> writer;
  std::int64_t modifiedAgo = 10'000 * kMs;  // how old the first text is
  std::size_t readSize = 4;
  FileError openError = FileError::None;
  std::uint64_t sizeOverride = 0;

  int opens = 0;
  std::int64_t slept = 0;

  FileError Open(const std::string&) override {
    ++opens;
    offset_ = 0;
    Refresh();
    return openError;
  }
  FileError Stamp(FileStamp& stamp) override {
    Refresh();
    stamp.size = sizeOverride != 0 ? sizeOverride : text_.size();
    stamp.modifiedNs = modified_;
    stamp.changedNs = modified_;
    stamp.inode = 1;
    return FileError::None;
  }
  FileError Read(char* buffer, std::size_t room, std::size_t& count) override {
    now_ += kMs;
    Refresh();
    count = std::min({room, readSize, offset_ < text_.size() ? text_.size() - offset_ : 0});
    std::memcpy(buffer, text_.data() + offset_, count);
    offset_ += count;
    return FileError::None;
  }
  std::int64_t WallClockNs() override { return kEpoch + now_; }
  std::int64_t SteadyClockNs() override { return now_; }
  void Sleep(std::int64_t nanoseconds) override {
    slept += nanoseconds;
    now_ += nanoseconds;
  }

 private:
  void Refresh() {
    std::string text = writer(now_);
    if (!started_ || text != text_) {
      modified_ = started_ ? kEpoch + now_ : kEpoch - modifiedAgo;
      text_ = std::move(text);
      started_ = true;
    }
  }

  std::string text_;
  std::int64_t modified_ = 0;
  std::int64_t now_ = 0;
  std::size_t offset_ = 0;
  bool started_ = false;
};

// Keeps what the last reading gave; refuses bytes holding "BAD".
class TextSink final : public LeaseFileSink {
 public:
  void Restart() override {
    text.clear();
    ++readings;
  }
  bool Take(std::string_view chunk) override {
    text.append(chunk);
    return text.find("BAD") == std::string::npos;
  }
  bool End() override { return true; }

  std::string text;
  int readings = 0;
};

const std::string kOld = "1 00:01 10.0.0.1 old *\n";
const std::string kNew = "2 00:02 10.0.0.2 new *\n2 00:03 10.0.0.3 new *\n";

TEST(ReadLeaseFileWhenStill, AStillFileIsReadOnceWithoutWaiting) {
  FakeAccess access;
  access.writer = [](std::int64_t) { return kOld; };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, kOld);
  EXPECT_EQ(sink.readings, 1);
  EXPECT_EQ(access.slept, 0);
}

TEST(ReadLeaseFileWhenStill, AFreshFileIsReadOnceItHasBeenStill) {
  FakeAccess access;
  access.modifiedAgo = 100 * kMs;
  access.writer = [](std::int64_t) { return kOld; };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, kOld);
  EXPECT_EQ(access.slept, kQuietNs - 100 * kMs);
}

// The server truncates and rewrites the file while it is read (the reading takes a millisecond
// for every 4 bytes): the reading is made again, and gives the new state whole.
TEST(ReadLeaseFileWhenStill, AReadingThatCrossesARewriteIsMadeAgain) {
  FakeAccess access;
  access.writer = [](std::int64_t elapsed) {
    if (elapsed < 3 * kMs) {
      return kOld;
    }
    // Written piece by piece, a byte a millisecond, then left alone.
    std::int64_t written = (elapsed - 3 * kMs) / kMs;
    return kNew.substr(0, static_cast<std::size_t>(std::min<std::int64_t>(written, kNew.size())));
  };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, kNew);
  EXPECT_GE(sink.readings, 2);
}

// A truncation shows the new size before the new modification time: an empty file is watched
// however old its time.
TEST(ReadLeaseFileWhenStill, AnEmptyFileIsWatchedBeforeItCounts) {
  FakeAccess access;
  access.writer = [](std::int64_t elapsed) { return elapsed < 100 * kMs ? "" : kNew; };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, kNew);

  FakeAccess empty;
  empty.writer = [](std::int64_t) { return std::string(); };
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", empty, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, "");
  EXPECT_EQ(empty.slept, kQuietNs);
}

TEST(ReadLeaseFileWhenStill, BytesThatDoNotParseInAStillFileAreInvalidAtOnce) {
  FakeAccess access;
  access.writer = [](std::int64_t) { return std::string("BAD\n"); };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Invalid);
  EXPECT_EQ(access.opens, 1);
}

TEST(ReadLeaseFileWhenStill, BytesThatDoNotParseWhileTheFileChangesAreReadAgain) {
  FakeAccess access;
  access.writer = [](std::int64_t elapsed) {
    return elapsed < 2 * kMs ? std::string("1 00:01 10.0.0.1 a BAD\n") : kOld;
  };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, kOld);
}

TEST(ReadLeaseFileWhenStill, AFileThatNeverStaysStillIsInvalidAfterAWhile) {
  FakeAccess access;
  access.modifiedAgo = 0;
  // Written again every millisecond.
  access.writer = [](std::int64_t elapsed) {
    return std::to_string(elapsed / kMs) + " 00:01 10.0.0.1 busy *\n";
  };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Invalid);
  EXPECT_GT(access.SteadyClockNs(), kGiveUpNs);
  EXPECT_LT(access.SteadyClockNs(), kGiveUpNs + 2 * kQuietNs);
}

TEST(ReadLeaseFileWhenStill, ALastLineThatDoesNotEndIsWaitedFor) {
  FakeAccess access;
  access.writer = [](std::int64_t elapsed) {
    return elapsed < 1000 * kMs ? kOld + "2 00:02" : kOld;
  };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, kOld);

  FakeAccess never;
  never.writer = [](std::int64_t) { return kOld + "2 00:02"; };
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", never, sink), LeaseFileStatus::Invalid);
}

TEST(ReadLeaseFile, AFilePastTheBoundIsInvalid) {
  FakeAccess access;
  access.writer = [](std::int64_t) { return kOld; };
  access.sizeOverride = kLargestLeaseFile + 1;
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), LeaseFileStatus::Invalid);
  EXPECT_EQ(ReadLeaseFileOnce("/f", access, sink), LeaseFileStatus::Invalid);
}

TEST(ReadLeaseFile, OpenFailuresAreTold) {
  const std::pair<FileError, LeaseFileStatus> rows[] = {
      {FileError::NotFound, LeaseFileStatus::NotFound},
      {FileError::AccessDenied, LeaseFileStatus::AccessDenied},
      {FileError::NotAFile, LeaseFileStatus::Unreadable},
      {FileError::Failed, LeaseFileStatus::Unreadable}};
  for (const auto& [error, status] : rows) {
    FakeAccess access;
    access.writer = [](std::int64_t) { return kOld; };
    access.openError = error;
    TextSink sink;
    EXPECT_EQ(ReadLeaseFileWhenStill("/f", access, sink), status);
    EXPECT_EQ(ReadLeaseFileOnce("/f", access, sink), status);
  }
}

// dhcpd's file is only appended to: one reading, whatever happens meanwhile.
TEST(ReadLeaseFileOnce, ReadsOnceToTheEnd) {
  FakeAccess access;
  access.writer = [](std::int64_t elapsed) { return elapsed < 3 * kMs ? kOld : kOld + kNew; };
  TextSink sink;
  EXPECT_EQ(ReadLeaseFileOnce("/f", access, sink), LeaseFileStatus::Read);
  EXPECT_EQ(sink.text, kOld + kNew);
  EXPECT_EQ(sink.readings, 1);
  EXPECT_EQ(access.slept, 0);
}

}  // namespace
}  // namespace platform::sources
