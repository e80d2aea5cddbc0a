// What both writers share through their result file: replacing an old file, the messages of a
// file that cannot be created or written, and the clean-up of an unfinished one. Every case runs
// for each writer.
#include "lease/ResultFile.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "lease/TextWriter.h"
#include "lease/XmlWriter.h"
#include "tests/support/StdoutCapture.h"
#include "tests/support/TempDir.h"
#include "xmldom/RefObject.h"

namespace {

using lease::LeaseList;
using test_support::ReadWholeFile;

const LeaseList kOneLease = {{"pc7", "10.0.0.7", "00"}};

// Files larger than the limit cannot be written (EFBIG), as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  void (*oldHandler_)(int);
};

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Writer {
  const char* name;
  lease::SaveOutcome (*save)(const std::string& fileName, const LeaseList& leases);
  const char* savedBytes;  // of kOneLease
};

const Writer kWriters[] = {
    {"Text",
     [](const std::string& file, const LeaseList& leases) {
       return lease::SaveAsText(file, leases);
     },
     "# Name;IP;MAC\r\npc7;10.0.0.7;00\r\n"},
    {"Xml",
     [](const std::string& file, const LeaseList& leases) {
       return lease::SaveAsXml(file, leases);
     },
     "<?xml version=\"1.0\"?>\r\n<addrlist version=\"4\"><address><hostname>pc7</hostname>"
     "<ip>10.0.0.7</ip><mac>00</mac></address></addrlist>"},
};

struct SaveRun {
  bool saved = false;
  int count = 0;
  std::string console;
};

// Every save, whatever its outcome, leaves no counted object alive.
class ResultFileOfEachWriter : public ::testing::TestWithParam<Writer> {
 protected:
  SaveRun Save(const std::string& fileName, const LeaseList& leases = kOneLease) {
    test_support::StdoutCapture capture;
    SaveRun run;
    const lease::SaveOutcome outcome = GetParam().save(fileName, leases);
    run.saved = outcome.saved;
    run.count = outcome.records;
    run.console = capture.Text();
    return run;
  }
  void TearDown() override { EXPECT_EQ(xmldom::TRefObject::LiveObjects(), liveBefore_); }

  test_support::TempDir dir_;
  std::int64_t liveBefore_ = xmldom::TRefObject::LiveObjects();
};

TEST_P(ResultFileOfEachWriter, ReplacesALongerFileWithoutTrace) {
  std::string path = dir_.PathOf("leases");
  test_support::WriteWholeFile(path, std::string(100000, '<'));
  SaveRun run = Save(path);
  EXPECT_EQ(ReadWholeFile(path), GetParam().savedBytes);
  EXPECT_TRUE(run.saved);
  EXPECT_EQ(run.count, 1);
}

TEST_P(ResultFileOfEachWriter, ReportsAFileThatCannotBeCreatedAndNothingElse) {
  for (const std::string& path : {dir_.PathOf("missing/leases"), dir_.PathOf("")}) {
    SaveRun run = Save(path);
    EXPECT_EQ(run.console, "\r\nCannot open file " + path + ".\r\n");
    EXPECT_FALSE(run.saved);
    EXPECT_EQ(run.count, 0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.PathOf("missing")));
}

TEST_P(ResultFileOfEachWriter, NeverReportsAFailedWriteAsSaved) {
  SaveRun run = Save("/dev/full");
  EXPECT_EQ(run.console, "\r\nCannot write file /dev/full.\r\n");
  EXPECT_FALSE(run.saved);
  EXPECT_EQ(run.count, 0);
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // a device is never removed
}

TEST_P(ResultFileOfEachWriter, KeepsTheOldFileWhenWritingTheNewOneFails) {
  std::string path = dir_.PathOf("leases");
  test_support::WriteWholeFile(path, "yesterday's leases");
  LeaseList many(50, kOneLease.front());
  SaveRun run;
  {
    FileSizeLimit limit(256);
    run = Save(path, many);
  }
  EXPECT_EQ(run.console, "\r\nCannot write file " + path + ".\r\n");
  EXPECT_EQ(ReadWholeFile(path), "yesterday's leases");
  EXPECT_EQ(NamesIn(dir_.PathOf("")), std::vector<std::string>{"leases"});
}

// The new file takes the old one's permissions, and a link to it stays a link.
TEST_P(ResultFileOfEachWriter, ReplacesTheFileALinkPointsToWithItsPermissions) {
  std::string path = dir_.PathOf("leases");
  test_support::WriteWholeFile(path, "old");
  ::chmod(path.c_str(), 0602);  // bits that the usual umask would take away
  std::filesystem::create_symlink("leases", dir_.PathOf("link"));
  Save(dir_.PathOf("link"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.PathOf("link")));
  EXPECT_EQ(ReadWholeFile(path), GetParam().savedBytes);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0602u);
  EXPECT_EQ(NamesIn(dir_.PathOf("")), (std::vector<std::string>{"leases", "link"}));
}

INSTANTIATE_TEST_SUITE_P(Writers, ResultFileOfEachWriter, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ResultFile, RemovesAnUnfinishedFileWhenAFailureEscapes) {
  test_support::TempDir dir;
  std::string path = dir.PathOf("partial.xml");
  test_support::StdoutCapture capture;
  {
    std::optional<lease::ResultFile> file = lease::ResultFile::Open(path);
    ASSERT_TRUE(file);
    file->Write(std::string(1 << 20, 'x'));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(NamesIn(dir.PathOf("")).size(), 1u);
  }
  EXPECT_EQ(NamesIn(dir.PathOf("")), std::vector<std::string>{});
  EXPECT_EQ(capture.Text(), "");
}

// An interrupt ends the process as it would without the tool's handler, but first removes the
// unfinished file; the old one stays.
TEST(ResultFileDeathTest, AnInterruptLeavesTheOldFileAndNoTemporaryOne) {
  test_support::TempDir dir;
  std::string path = dir.PathOf("leases.xml");
  test_support::WriteWholeFile(path, "old");
  for (int signal : {SIGINT, SIGTERM}) {
    EXPECT_EXIT(
        {
          std::optional<lease::ResultFile> file = lease::ResultFile::Open(path);
          file->Write(std::string(1 << 20, 'x'));
          std::raise(signal);
        },
        ::testing::KilledBySignal(signal), "");
    EXPECT_EQ(NamesIn(dir.PathOf("")), std::vector<std::string>{"leases.xml"});
    EXPECT_EQ(ReadWholeFile(path), "old");
  }
}

}  // namespace
