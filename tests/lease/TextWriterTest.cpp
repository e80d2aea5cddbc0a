#include "lease/TextWriter.h"

#include <gtest/gtest.h>

#include "tests/support/StdoutCapture.h"
#include "tests/support/TempDir.h"

namespace {

using lease::LeaseList;
using test_support::ReadWholeFile;

struct SaveRun {
  int count = 0;
  std::string console;
};

SaveRun Save(const std::string& fileName, const LeaseList& leases) {
  test_support::StdoutCapture capture;
  SaveRun run;
  run.count = lease::SaveAsText(fileName, leases).records;
  run.console = capture.Text();
  return run;
}

const LeaseList kThreeLeases = {{"pc7", "10.0.0.7", "00-0C-29-AA-BB-CC"},
                                {"", "10.0.0.8", "00-0C-29-AA-BB-CD"},
                                {"semi;colon", "10.0.0.9", ""}};

const char kThreeLeasesText[] =
    "# Name;IP;MAC\r\n"
    "pc7;10.0.0.7;00-0C-29-AA-BB-CC\r\n"
    ";10.0.0.8;00-0C-29-AA-BB-CD\r\n"
    "semi?colon;10.0.0.9;\r\n";

TEST(SaveAsText, WritesTheHeaderAndOneLinePerLeaseByteForByte) {
  test_support::TempDir dir;
  std::string path = dir.PathOf("leases.txt");
  SaveRun run = Save(path, kThreeLeases);
  EXPECT_EQ(ReadWholeFile(path), kThreeLeasesText);
  EXPECT_EQ(run.count, 3);
  EXPECT_EQ(run.console, "Query results have been saved to file " + path + ".\r\n");
}

TEST(SaveAsText, AHostNameCannotAddARecordOrShiftAColumn) {
  test_support::TempDir dir;
  std::string path = dir.PathOf("leases.txt");
  std::string controls;
  for (char c = 0; c < 0x20; ++c) {
    controls += c;
  }
  Save(path, {{"pc1\r\nforged.example;10.9.9.9;AA-BB-CC-DD-EE-FF", "10.0.0.1", "00"},
              {controls + "\x7f\xc3\xa9#&<", "10.0.0.2", "01"}});
  EXPECT_EQ(ReadWholeFile(path),
            "# Name;IP;MAC\r\n"
            "pc1??forged.example?10.9.9.9?AA-BB-CC-DD-EE-FF;10.0.0.1;00\r\n" +
                std::string(32, '?') + "?\xc3\xa9#&<;10.0.0.2;01\r\n");
}

// A Unicode reader (Python's splitlines, many an editor) breaks a line at a C1 control such as
// NEL and at the line and paragraph separators: each is one '?', and its neighbours stay.
TEST(SaveAsText, AHostNameCannotBreakALineForAUnicodeReader) {
  const struct {
    const char* name;
    const char* field;
  } cases[] = {
      {"del\x7f", "del?"},
      {"c1-first\xc2\x80", "c1-first?"},
      {"nel\xc2\x85x", "nel?x"},
      {"c1-last\xc2\x9f", "c1-last?"},
      {"line\xe2\x80\xa8x", "line?x"},
      {"paragraph\xe2\x80\xa9x", "paragraph?x"},
      {"nbsp\xc2\xa0", "nbsp\xc2\xa0"},
      {"hyphenation\xe2\x80\xa7", "hyphenation\xe2\x80\xa7"},
      {"embedding\xe2\x80\xaa", "embedding\xe2\x80\xaa"},
      {"euro\xe2\x82\xac", "euro\xe2\x82\xac"},
      {"cut-short\xe2\x80", "cut-short\xe2\x80"},
  };
  test_support::TempDir dir;
  std::string path = dir.PathOf("leases.txt");
  for (const auto& c : cases) {
    Save(path, {{c.name, "10.0.0.1", "00"}});
    EXPECT_EQ(ReadWholeFile(path), std::string("# Name;IP;MAC\r\n") + c.field + ";10.0.0.1;00\r\n")
        << c.name;
  }
}

TEST(SaveAsText, KeepsEveryLineOfALargeList) {
  LeaseList leases;
  std::string expected = "# Name;IP;MAC\r\n";
  for (int i = 0; i < 30000; ++i) {
    leases.push_back({"host" + std::to_string(i), "10.0.0." + std::to_string(i % 256), "00-11"});
    expected += leases.back().HostName + ";" + leases.back().IpAddress + ";00-11\r\n";
  }
  test_support::TempDir dir;
  std::string path = dir.PathOf("large.txt");
  EXPECT_EQ(Save(path, leases).count, 30000);
  EXPECT_EQ(ReadWholeFile(path), expected);
}

}  // namespace
