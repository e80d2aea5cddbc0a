#include "lease/SystemErrorText.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemErrorText, DropsTheLineEndAndFullStopOfTheSystemText) {
  EXPECT_EQ(lease::SystemErrorText(1722), "The RPC server is unavailable");
  EXPECT_EQ(lease::SystemErrorText(1460),
            "This operation returned because the timeout period expired");
}

TEST(SystemErrorText, IsEmptyForACodeWithoutText) {
  EXPECT_EQ(lease::SystemErrorText(20005), "");
}

}  // namespace
