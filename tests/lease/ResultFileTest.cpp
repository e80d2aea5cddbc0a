// What both writers share through their result file: replacing an old file, the messages of a
// file that cannot be created or written, and the clean-up of an unfinished one. Every case runs
// for each writer.
#include "lease/ResultFile.h"

#include <gtest/gtest.h>

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

struct Writer {
  const char* name;
  // The count of lines written where the writer returns one, 0 where it returns nothing.
  int (*save)(const std::string& fileName, const LeaseList& leases);
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
       lease::SaveAsXml(file, leases);
       return 0;
     },
     "<?xml version=\"1.0\"?>\r\n<addrlist version=\"4\"><address><hostname>pc7</hostname>"
     "<ip>10.0.0.7</ip><mac>00</mac></address></addrlist>"},
};

struct SaveRun {
  int count = 0;
  std::string console;
};

// Every save, whatever its outcome, leaves no counted object alive.
class ResultFileOfEachWriter : public ::testing::TestWithParam<Writer> {
 protected:
  SaveRun Save(const std::string& fileName) {
    test_support::StdoutCapture capture;
    SaveRun run;
    run.count = GetParam().save(fileName, kOneLease);
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
  Save(path);
  EXPECT_EQ(ReadWholeFile(path), GetParam().savedBytes);
}

TEST_P(ResultFileOfEachWriter, ReportsAFileThatCannotBeCreatedAndNothingElse) {
  for (const std::string& path : {dir_.PathOf("missing/leases"), dir_.PathOf("")}) {
    SaveRun run = Save(path);
    EXPECT_EQ(run.console, "\r\nCannot open file " + path + ".\r\n");
    EXPECT_EQ(run.count, 0);
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.PathOf("missing")));
}

TEST_P(ResultFileOfEachWriter, NeverReportsAFailedWriteAsSaved) {
  SaveRun run = Save("/dev/full");
  EXPECT_EQ(run.console, "\r\nCannot write file /dev/full.\r\n");
  EXPECT_EQ(run.count, 0);
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // a device is never removed
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
    EXPECT_TRUE(std::filesystem::exists(path));
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(capture.Text(), "");
}

}  // namespace
