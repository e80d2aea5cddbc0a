#pragma once

#include <functional>
#include <string>

#include "runtime/Exception.h"

namespace xmldom::testing {

// The message of the failure of that kind which the action raised, or "(no failure)". A failure
// of another kind escapes and fails the test.
template <typename Failure = runtime::Exception>
std::string FailureText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Failure& failure) {
    return failure.Message();
  }
  return "(no failure)";
}

}  // namespace xmldom::testing
