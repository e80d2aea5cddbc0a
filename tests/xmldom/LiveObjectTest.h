#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "xmldom/RefObject.h"

namespace xmldom::testing {

// The names of probes in the order in which they were destroyed.
inline std::vector<std::string>& DestructionLog() {
  static std::vector<std::string> log;
  return log;
}

// Every test of counted objects starts and ends with the same number of live objects: nothing
// leaked, nothing destroyed twice. The count is taken after the fixtures of derived classes have
// released what they hold.
class LiveObjectTest : public ::testing::Test {
 protected:
  LiveObjectTest() { DestructionLog().clear(); }
  ~LiveObjectTest() override {
    EXPECT_EQ(TRefObject::LiveObjects(), liveAtStart_) << "counted objects leaked or lost";
  }

 private:
  std::int64_t liveAtStart_ = TRefObject::LiveObjects();
};

}  // namespace xmldom::testing
