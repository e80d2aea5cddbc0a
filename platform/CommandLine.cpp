#include "platform/CommandLine.h"

namespace platform {
namespace {

bool IsSeparator(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte >= 1 && byte <= 32;
}

bool AtEnd(std::string_view rest) {
  return rest.empty() || rest.front() == '\0';
}

// Skips separators and any pairs of quotes that open an argument.
void SkipToArgument(std::string_view& rest) {
  for (;;) {
    while (!AtEnd(rest) && IsSeparator(rest.front())) {
      rest.remove_prefix(1);
    }
    if (rest.size() >= 2 && rest[0] == '"' && rest[1] == '"') {
      rest.remove_prefix(2);
    } else {
      return;
    }
  }
}

std::string TakeArgument(std::string_view& rest) {
  std::string argument;
  while (!AtEnd(rest) && !IsSeparator(rest.front())) {
    if (rest.front() != '"') {
      argument += rest.front();
      rest.remove_prefix(1);
      continue;
    }
    rest.remove_prefix(1);
    while (!AtEnd(rest) && rest.front() != '"') {
      argument += rest.front();
      rest.remove_prefix(1);
    }
    if (!AtEnd(rest)) {
      rest.remove_prefix(1);
    }
  }
  return argument;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> arguments;
  std::string_view rest = commandLine;
  for (;;) {
    SkipToArgument(rest);
    std::string argument = TakeArgument(rest);
    // Only the end of the line leaves an argument empty.
    if (argument.empty()) {
      return arguments;
    }
    arguments.push_back(std::move(argument));
  }
}

}  // namespace platform
