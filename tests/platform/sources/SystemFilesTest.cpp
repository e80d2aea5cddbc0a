// The files of this machine as the readers reach them: only regular files are read, a pipe named
// as a file is refused at once instead of waited on, and two paths of one file are one file.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/sources/ConfigFiles.h"
#include "platform/sources/LeaseFileRead.h"
#include "tests/support/TempDir.h"

namespace platform::sources {
namespace {

class NoSink final : public LeaseFileSink {
 public:
  void Restart() override {}
  bool Take(std::string_view) override { return true; }
  bool End() override { return true; }
};

TEST(SystemFiles, OnlyRegularFilesAreRead) {
  test_support::TempDir folder;
  const std::string pipe = folder.PathOf("pipe");
  ASSERT_EQ(std::system(("mkfifo '" + pipe + "'").c_str()), 0);
  std::filesystem::create_directory(folder.PathOf("folder"));
  ConfigFiles files = SystemConfigFiles();
  EXPECT_EQ(files.read(pipe).error, FileError::NotAFile);
  EXPECT_EQ(files.read(folder.PathOf("folder")).error, FileError::NotAFile);
  EXPECT_EQ(files.read(folder.PathOf("missing")).error, FileError::NotFound);
  EXPECT_EQ(files.read(folder.PathOf("missing/below")).error, FileError::NotFound);
  // A configuration is told from Kea's socket by this, before anything is opened.
  test_support::WriteWholeFile(folder.PathOf("file"), "");
  std::filesystem::create_symlink(folder.PathOf("file"), folder.PathOf("link"));
  EXPECT_TRUE(IsRegularFile(folder.PathOf("file")));
  EXPECT_TRUE(IsRegularFile(folder.PathOf("link")));
  for (const char* name : {"pipe", "folder", "missing"}) {
    EXPECT_FALSE(IsRegularFile(folder.PathOf(name))) << name;
  }

  SystemLeaseFileAccess access;
  NoSink sink;
  EXPECT_EQ(ReadLeaseFileOnce(pipe, access, sink), LeaseFileStatus::Unreadable);
  EXPECT_EQ(ReadLeaseFileWhenStill(folder.PathOf("folder"), access, sink),
            LeaseFileStatus::Unreadable);
  EXPECT_EQ(ReadLeaseFileOnce(folder.PathOf("missing"), access, sink), LeaseFileStatus::NotFound);
}

// Past the bound a configuration is not read at all (its size says so), and the reader is told
// why, so that it is not taken for a file that is missing or locked.
TEST(SystemFiles, ConfigurationPastTheBoundIsTooLarge) {
  test_support::TempDir folder;
  test_support::WriteWholeFile(folder.PathOf("big.conf"), "");
  std::filesystem::resize_file(folder.PathOf("big.conf"), kLargestConfigFile + 1);
  test_support::WriteWholeFile(folder.PathOf("fits.conf"), "");
  std::filesystem::resize_file(folder.PathOf("fits.conf"), kLargestConfigFile);
  ConfigFileRead big = SystemConfigFiles().read(folder.PathOf("big.conf"));
  EXPECT_EQ(big.error, FileError::Failed);
  EXPECT_TRUE(big.tooLarge);
  ConfigFileRead fits = SystemConfigFiles().read(folder.PathOf("fits.conf"));
  EXPECT_EQ(fits.error, FileError::None);
  EXPECT_EQ(fits.text.size(), kLargestConfigFile);
}

TEST(SystemFiles, TwoPathsOfOneFileAreOneFile) {
  test_support::TempDir folder;
  test_support::WriteWholeFile(folder.PathOf("a.conf"), "port=0\n");
  test_support::WriteWholeFile(folder.PathOf("b.conf"), "port=0\n");
  std::filesystem::create_symlink(folder.PathOf("a.conf"), folder.PathOf("link.conf"));
  ConfigFiles files = SystemConfigFiles();
  ConfigFileRead a = files.read(folder.PathOf("a.conf"));
  ASSERT_EQ(a.error, FileError::None);
  EXPECT_EQ(a.text, "port=0\n");
  EXPECT_EQ(files.read(folder.PathOf("link.conf")).identity, a.identity);
  EXPECT_NE(files.read(folder.PathOf("b.conf")).identity, a.identity);
}

TEST(SystemFiles, AFolderListsItsEntries) {
  test_support::TempDir folder;
  std::filesystem::create_directory(folder.PathOf("d"));
  std::filesystem::create_directory(folder.PathOf("d/sub"));
  test_support::WriteWholeFile(folder.PathOf("d/file"), "");
  std::filesystem::create_symlink(folder.PathOf("d/file"), folder.PathOf("d/link"));
  std::vector<DirectoryEntry> entries;
  ASSERT_EQ(SystemConfigFiles().list(folder.PathOf("d"), entries), FileError::None);
  std::map<std::string, bool> found;
  for (const DirectoryEntry& entry : entries) {
    found[entry.name] = entry.regularFile;
  }
  EXPECT_EQ(found, (std::map<std::string, bool>{{"file", true}, {"link", true}, {"sub", false}}));
  EXPECT_EQ(SystemConfigFiles().list(folder.PathOf("d/file"), entries), FileError::NotAFile);
}

}  // namespace
}  // namespace platform::sources
