#include "dialogue/Answer.h"

#include "platform/Console.h"
#include "platform/ConsoleFailure.h"

namespace dialogue {
namespace {

bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

std::string ReadAnswer(std::string_view defaultValue) {
  platform::StandardInputLine answer = platform::ReadStandardInputLine();
  if (answer.outcome == platform::LineRead::Failed) {
    platform::RaiseOnConsoleFailure(answer.status);
  }
  return TrimmedOrDefault(answer.text, defaultValue);
}

std::string TrimmedOrDefault(std::string_view answer, std::string_view defaultValue) {
  while (!answer.empty() && IsBlank(answer.front())) {
    answer.remove_prefix(1);
  }
  while (!answer.empty() && IsBlank(answer.back())) {
    answer.remove_suffix(1);
  }
  return std::string(answer.empty() ? defaultValue : answer);
}

}  // namespace dialogue
