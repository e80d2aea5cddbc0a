// The platform's side of a save: who resolves the name given and what it resolves to, when the
// old file is written in place, and whose file the new one is. The cases of a whole save (the
// messages, both writers) are in tests/lease/ResultFileTest.cpp. Cases that need root (another
// user's link or file, a mount of their own) skip elsewhere and say so.
#include "platform/OutputFile.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/ChildProcess.h"
#include "tests/support/TempDir.h"

#ifndef MS_NOSYMFOLLOW
#define MS_NOSYMFOLLOW 256
#endif

namespace {

using test_support::ExitedCleanly;
using test_support::InChild;
using test_support::NamesIn;
using test_support::ReadWholeFile;
using test_support::WriteWholeFile;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;
const std::string kNew = "new leases";

bool Save(const std::string& path) {
  std::optional<platform::OutputFile> file = platform::OutputFile::Create(path);
  return file && file->Write(kNew) && file->Commit();
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// A mount namespace of the child's own, so that what it mounts goes with it.
bool InPrivateMounts() {
  return ::unshare(CLONE_NEWNS) == 0 &&
         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool CanMountPrivately() {
  return ::geteuid() == 0 && ExitedCleanly(InChild([] { return InPrivateMounts() ? 0 : 1; }));
}

bool BecomeNobody() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(kNogroup) == 0 && ::setuid(kNobody) == 0;
}

// A folder where the kernel refuses to follow a link that the user nobody planted. Each says in
// the test process why the system cannot make it, and makes it in the child.
struct RefusingFolder {
  const char* name;
  const char* (*unsupported)();
  bool (*make)(const std::string& folder);
};

const RefusingFolder kRefusingFolders[] = {
    {"StickyAndWorldWritable",
     [] {
       return ReadWholeFile("/proc/sys/fs/protected_symlinks") == "1\n"
                  ? nullptr
                  : "needs fs.protected_symlinks=1, as Debian sets it";
     },
     [](const std::string& folder) {
       return ::mkdir(folder.c_str(), 0) == 0 && ::chmod(folder.c_str(), 01777) == 0;
     }},
    {"OnAMountThatFollowsNoLinks",
     [] { return CanMountPrivately() ? nullptr : "needs a mount namespace of its own"; },
     [](const std::string& folder) {
       return InPrivateMounts() && ::mkdir(folder.c_str(), 0755) == 0 &&
              ::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
              ::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_NOSYMFOLLOW,
                      nullptr) == 0;
     }},
};

class PlantedLink : public ::testing::TestWithParam<RefusingFolder> {};

// As root, in the folder where another user planted it: to a file of root's, and to a name where
// the save would make one.
TEST_P(PlantedLink, IsNotFollowedAndNothingChanges) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to plant a link as the user nobody";
  }
  if (const char* why = GetParam().unsupported()) {
    GTEST_SKIP() << why;
  }
  test_support::TempDir dir;
  const std::string folder = dir.PathOf("shared");
  const std::string victim = dir.PathOf("victim.conf");
  const std::string made = dir.PathOf("made.conf");
  WriteWholeFile(victim, "precious");
  int status = InChild([&] {
    if (!GetParam().make(folder)) {
      return 2;
    }
    for (const std::string* target : {&victim, &made}) {
      std::string link = folder + "/" + std::filesystem::path(*target).filename().string();
      if (::symlink(target->c_str(), link.c_str()) != 0 ||
          ::lchown(link.c_str(), kNobody, kNogroup) != 0) {
        return 2;
      }
      if (Save(link)) {
        return 1;
      }
    }
    return 0;
  });
  EXPECT_TRUE(ExitedCleanly(status)) << "status " << status << " (1: a save went through)";
  EXPECT_EQ(ReadWholeFile(victim), "precious");
  EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"shared", "victim.conf"}));
}

INSTANTIATE_TEST_SUITE_P(Folders, PlantedLink, ::testing::ValuesIn(kRefusingFolders),
                         [](const auto& info) { return std::string(info.param.name); });

// A link to a file is kept the same way in tests/lease/ResultFileTest.cpp.
TEST(OutputFile, ADanglingLinkTheKernelFollowsMakesItsFileAndStaysALink) {
  test_support::TempDir dir;
  std::filesystem::create_symlink(dir.PathOf("made.xml"), dir.PathOf("dangling.xml"));
  EXPECT_TRUE(Save(dir.PathOf("dangling.xml")));
  EXPECT_EQ(ReadWholeFile(dir.PathOf("made.xml")), kNew);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.PathOf("dangling.xml")));
  EXPECT_EQ(NamesIn(dir.PathOf("")), (std::vector<std::string>{"dangling.xml", "made.xml"}));
}

// Failing to make the temporary file for any reason but a folder that refuses new files never
// touches the old file: here a file system without a free inode.
TEST(OutputFile, KeepsTheOldFileWhenNoTemporaryFileCanBeMade) {
  if (!CanMountPrivately()) {
    GTEST_SKIP() << "needs root, to mount a file system without free inodes";
  }
  test_support::TempDir dir;
  const std::string folder = dir.PathOf("full");
  const std::string old = folder + "/leases.xml";
  int status = InChild([&] {
    // Two inodes: the file system's root folder and the old file.
    if (!InPrivateMounts() || ::mkdir(folder.c_str(), 0755) != 0 ||
        ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "nr_inodes=2,size=1m") != 0) {
      return 2;
    }
    WriteWholeFile(old, "yesterday");
    if (Save(old)) {
      return 1;
    }
    return ReadWholeFile(old) == "yesterday" &&
                   NamesIn(folder) == std::vector<std::string>{"leases.xml"}
               ? 0
               : 3;
  });
  EXPECT_TRUE(ExitedCleanly(status)) << "status " << status << " (1: saved, 3: old file changed)";
}

// The new file is the old one's: owner, group and permissions. Where it cannot be (a file of
// another user's that this one may write), the old file is written in place and stays theirs.
TEST(OutputFile, TheReplacedFileKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root, to give files to another user";
  }
  test_support::TempDir dir;
  ::chmod(dir.PathOf("").c_str(), 0755);
  const std::string nobodys = dir.PathOf("nobodys.xml");
  WriteWholeFile(nobodys, "old");
  ASSERT_EQ(::chown(nobodys.c_str(), kNobody, kNogroup), 0);
  ::chmod(nobodys.c_str(), 0640);
  ASSERT_TRUE(Save(nobodys));
  struct stat replaced = StatOf(nobodys);
  EXPECT_EQ(ReadWholeFile(nobodys), kNew);
  EXPECT_EQ(replaced.st_uid, kNobody);
  EXPECT_EQ(replaced.st_gid, kNogroup);
  EXPECT_EQ(replaced.st_mode & 07777, 0640u);

  const std::string sticky = dir.PathOf("sticky");
  ::mkdir(sticky.c_str(), 0);
  ::chmod(sticky.c_str(), 01777);
  const std::string roots = sticky + "/roots.xml";
  WriteWholeFile(roots, "old");
  ::chmod(roots.c_str(), 0666);
  struct stat before = StatOf(roots);
  EXPECT_TRUE(ExitedCleanly(InChild([&] { return BecomeNobody() && Save(roots) ? 0 : 1; })));
  struct stat after = StatOf(roots);
  EXPECT_EQ(ReadWholeFile(roots), kNew);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_uid, 0u);
  EXPECT_EQ(after.st_mode & 07777, 0666u);
  EXPECT_EQ(NamesIn(sticky), std::vector<std::string>{"roots.xml"});
}

}  // namespace
