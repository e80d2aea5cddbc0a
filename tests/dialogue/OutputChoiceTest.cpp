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

}  // namespace
