#include "dialogue/OutputChoice.h"

#include <algorithm>
#include <string_view>

#include "lease/TextWriter.h"
#include "lease/XmlWriter.h"

namespace dialogue {
namespace {

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Only A to Z fold: a locale must not make another byte match.
bool EqualsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase) {
  return std::equal(text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
                    [](char a, char b) { return AsciiLower(a) == b; });
}

}  // namespace

OutputForm ChooseOutputForm(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    return OutputForm::Xml;
  }
  if (arguments.size() == 1 && EqualsIgnoringAsciiCase(arguments.front(), "/text")) {
    return OutputForm::Text;
  }
  return OutputForm::Nothing;
}

void SaveInChosenForm(const lease::LeaseList& leases, const std::string& fileName,
                      const std::vector<std::string>& arguments) {
  if (leases.empty()) {
    return;
  }
  switch (ChooseOutputForm(arguments)) {
    case OutputForm::Xml:
      lease::SaveAsXml(fileName, leases);
      break;
    case OutputForm::Text:
      lease::SaveAsText(fileName, leases);
      break;
    case OutputForm::Nothing:
      break;
  }
}

}  // namespace dialogue
