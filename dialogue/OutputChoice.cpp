#include "dialogue/OutputChoice.h"

#include <algorithm>
#include <string_view>

#include "lease/TextWriter.h"
#include "lease/XmlWriter.h"
#include "platform/Console.h"
#include "platform/ConsoleFailure.h"

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

bool IsTextArgument(std::string_view argument) {
  return EqualsIgnoringAsciiCase(argument, "/text");
}

std::string OneLine(std::string_view text) {
  std::string line(text);
  std::replace_if(
      line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
  return line;
}

}  // namespace

OutputForm ChooseOutputForm(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    return OutputForm::Xml;
  }
  if (arguments.size() == 1 && IsTextArgument(arguments.front())) {
    return OutputForm::Text;
  }
  return OutputForm::Nothing;
}

// A /text first is right where it stands, so the one after it is the argument too many.
std::string RejectedArgumentsLine(const std::vector<std::string>& arguments) {
  const std::string& rejected =
      arguments.size() > 1 && IsTextArgument(arguments.front()) ? arguments[1] : arguments.front();
  return "leasedump: argument \"" + OneLine(rejected) +
         "\" not accepted; give no argument for the XML file, or the one argument /text for the "
         "text file. Nothing was saved.\r\n";
}

OutputResult SaveInChosenForm(const lease::LeaseList& leases, const std::string& fileName,
                              const std::vector<std::string>& arguments) {
  const OutputForm form = ChooseOutputForm(arguments);
  if (form == OutputForm::Nothing) {
    // In the console's code page, as the report of a failure on the same stream.
    platform::RaiseOnConsoleFailure(platform::WriteStandardError(
        platform::ToConsoleCodePage(RejectedArgumentsLine(arguments))));
    return OutputResult::ArgumentsRejected;
  }
  if (leases.empty()) {
    return OutputResult::NothingToSave;
  }
  const lease::SaveOutcome outcome = form == OutputForm::Xml ? lease::SaveAsXml(fileName, leases)
                                                             : lease::SaveAsText(fileName, leases);
  return outcome.saved ? OutputResult::Saved : OutputResult::NotSaved;
}

}  // namespace dialogue
