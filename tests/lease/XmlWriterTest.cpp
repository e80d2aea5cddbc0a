#include "lease/XmlWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/StdoutCapture.h"
#include "tests/support/TempDir.h"
#include "xmldom/RefObject.h"

namespace {

using lease::LeaseList;
using test_support::ReadWholeFile;

constexpr char kDeclaration[] = "<?xml version=\"1.0\"?>\r\n";

// Every save, whatever its outcome, leaves no node of its tree alive.
class SaveAsXml : public ::testing::Test {
 protected:
  std::string Save(const std::string& fileName, const LeaseList& leases) {
    test_support::StdoutCapture capture;
    lease::SaveAsXml(fileName, leases);
    return capture.Text();
  }
  std::string SaveAndRead(const LeaseList& leases) {
    std::string path = dir_.PathOf("leases.xml");
    EXPECT_EQ(Save(path, leases), "Query results have been saved to file " + path + ".\r\n");
    return ReadWholeFile(path);
  }
  void TearDown() override { EXPECT_EQ(xmldom::TRefObject::LiveObjects(), liveBefore_); }

  test_support::TempDir dir_;
  std::int64_t liveBefore_ = xmldom::TRefObject::LiveObjects();
};

TEST_F(SaveAsXml, WritesTheDeclarationLineThenTheWholeTreeOnOneLine) {
  EXPECT_EQ(SaveAndRead({{"pc7", "10.0.0.7", "00-0C-29-AA-BB-CC"}}),
            std::string(kDeclaration) +
                "<addrlist version=\"4\"><address><hostname>pc7</hostname><ip>10.0.0.7</ip>"
                "<mac>00-0C-29-AA-BB-CC</mac></address></addrlist>");
}

TEST_F(SaveAsXml, EscapesMarkupAndKeepsEmptyFieldsAsStartAndEndTags) {
  std::string xml = SaveAndRead({{"a&b<c>\"d'e", "10.0.0.1", ""}, {"", "10.0.0.2", "01"}});
  EXPECT_EQ(xml.substr(sizeof kDeclaration - 1),
            "<addrlist version=\"4\">"
            "<address><hostname>a&amp;b&lt;c&gt;&quot;d&apos;e</hostname><ip>10.0.0.1</ip>"
            "<mac></mac></address>"
            "<address><hostname></hostname><ip>10.0.0.2</ip><mac>01</mac></address>"
            "</addrlist>");
}

TEST_F(SaveAsXml, AddsNoLineBreakOfItsOwnAfterTheDeclaration) {
  std::string xml = SaveAndRead({{"two\r\nlines\xc3\xa9", "10.0.0.1", "FF"}});
  EXPECT_EQ(xml.find("\r\n"), sizeof kDeclaration - 3);
  EXPECT_NE(xml.find("<hostname>two\r\nlines\xc3\xa9</hostname>"), std::string::npos);
  EXPECT_EQ(xml.back(), '>');
}

TEST_F(SaveAsXml, WritesAnEmptyListAsAnEmptyRootElement) {
  EXPECT_EQ(SaveAndRead({}), std::string(kDeclaration) + "<addrlist version=\"4\"/>");
}

// Records each phase with what it finds: the live objects beyond the start, and whether the file
// exists yet under its name (it takes that name only once it is complete).
class PhaseRecorder : public lease::XmlSaveObserver {
 public:
  PhaseRecorder(std::string path, std::int64_t liveBefore)
      : path_(std::move(path)), liveBefore_(liveBefore) {}
  void PhaseEnded(lease::XmlSavePhase phase) override {
    phases.push_back(
        {phase, xmldom::TRefObject::LiveObjects() - liveBefore_, std::filesystem::exists(path_)});
  }
  struct Seen {
    lease::XmlSavePhase phase;
    std::int64_t liveObjects;
    bool fileExists;
    bool operator==(const Seen&) const = default;
  };
  std::vector<Seen> phases;

 private:
  std::string path_;
  std::int64_t liveBefore_;
};

TEST_F(SaveAsXml, TellsAnObserverTheEndOfEachStepInOrder) {
  using lease::XmlSavePhase;
  const std::string path = dir_.PathOf("leases.xml");
  PhaseRecorder recorder(path, liveBefore_);
  test_support::StdoutCapture capture;
  lease::SaveAsXml(path, {{"pc7", "10.0.0.7", "00"}, {"pc8", "10.0.0.8", "01"}}, &recorder);
  // The root, its attribute and seven nodes per lease, each with its two lists.
  const std::int64_t tree = 3 * (2 + 7 * 2);
  EXPECT_EQ(recorder.phases,
            (std::vector<PhaseRecorder::Seen>{{XmlSavePhase::TreeBuilt, tree, false},
                                              {XmlSavePhase::Serialised, tree, false},
                                              {XmlSavePhase::Written, tree, true},
                                              {XmlSavePhase::Released, 0, true}}));
  EXPECT_EQ(capture.Text(), "Query results have been saved to file " + path + ".\r\n");
}

TEST_F(SaveAsXml, FileThatCannotBeCreatedSkipsTheWritingSteps) {
  using lease::XmlSavePhase;
  const std::string path = dir_.PathOf("missing/leases.xml");
  PhaseRecorder recorder(path, liveBefore_);
  test_support::StdoutCapture capture;
  lease::SaveAsXml(path, {{"pc7", "10.0.0.7", "00"}}, &recorder);
  ASSERT_EQ(recorder.phases.size(), 2u);
  EXPECT_EQ(recorder.phases[0].phase, XmlSavePhase::TreeBuilt);
  EXPECT_EQ(recorder.phases[1].phase, XmlSavePhase::Released);
  EXPECT_EQ(recorder.phases[1].liveObjects, 0);
}

TEST_F(SaveAsXml, ReleasesALargeTreeCompletely) {
  LeaseList leases(20000, {"host", "10.0.0.1", "00-11-22-33-44-55"});
  std::string expected = std::string(kDeclaration) + "<addrlist version=\"4\">";
  for (int i = 0; i < 20000; ++i) {
    expected +=
        "<address><hostname>host</hostname><ip>10.0.0.1</ip>"
        "<mac>00-11-22-33-44-55</mac></address>";
  }
  EXPECT_EQ(SaveAndRead(leases), expected + "</addrlist>");
}

}  // namespace
