#include "dialogue/OutputChoice.h"

#include <gtest/gtest.h>

namespace {

using dialogue::ChooseOutputForm;
using dialogue::OutputForm;
using Arguments = std::vector<std::string>;

TEST(OutputChoice, NoArgumentMeansXml) {
  EXPECT_EQ(ChooseOutputForm({}), OutputForm::Xml);
}

TEST(OutputChoice, TextInAnyCaseOfItsLetters) {
  for (const char* argument : {"/text", "/TEXT", "/Text", "/tExT"}) {
    EXPECT_EQ(ChooseOutputForm({argument}), OutputForm::Text) << argument;
  }
}

TEST(OutputChoice, AnythingElseMeansNoFile) {
  const Arguments cases[] = {{"-text"},        {"/text", "x"}, {"text"}, {"/tex"},
                             {"/texts"},       {" /text"},     {"/xml"}, {"x", "/text"},
                             {"/t\xc3\x89xt"}, {"/TE\xd8T"}};
  for (const Arguments& arguments : cases) {
    EXPECT_EQ(ChooseOutputForm(arguments), OutputForm::Nothing) << arguments.front();
  }
}

// The line names the argument that cannot stand where it is, as one line whatever it holds.
TEST(OutputChoice, TheRejectionNamesTheArgumentOutOfPlace) {
  const struct {
    Arguments arguments;
    const char* named;
  } cases[] = {
      {{"/txt"}, "\"/txt\""},    {{"/text", "/text"}, "\"/text\""},      {{"/TEXT", "x"}, "\"x\""},
      {{"x", "/text"}, "\"x\""}, {{"line\r\nbreak"}, "\"line??break\""},
  };
  for (const auto& c : cases) {
    const std::string line = dialogue::RejectedArgumentsLine(c.arguments);
    EXPECT_TRUE(line.starts_with(std::string("leasedump: argument ") + c.named + " not accepted;"))
        << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
  }
}

}  // namespace
