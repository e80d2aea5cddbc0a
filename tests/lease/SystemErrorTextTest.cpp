#include "lease/SystemErrorText.h"

#include <gtest/gtest.h>

#include "platform/DhcpStatus.h"

namespace {

TEST(SystemErrorText, DropsTheLineEndAndFullStopOfTheSystemText) {
  EXPECT_EQ(lease::SystemErrorText(1722), "The RPC server is unavailable");
  EXPECT_EQ(lease::SystemErrorText(1460),
            "This operation returned because the timeout period expired");
}

TEST(SystemErrorText, IsEmptyForACodeWithoutText) {
  EXPECT_EQ(lease::SystemErrorText(99999), "");
}

// An error line is "Error: " and this text: none of the client's statuses may leave it bare.
TEST(SystemErrorText, EveryStatusTheClientReturnsHasAText) {
  for (std::uint32_t status : dhcp_status::kReturnedByDhcpApi) {
    EXPECT_NE(lease::SystemErrorText(status), "") << status;
  }
  EXPECT_EQ(lease::SystemErrorText(dhcp_status::kInvalidParameter), "The parameter is incorrect");
  EXPECT_EQ(lease::SystemErrorText(dhcp_status::kSubnetNotPresent),
            "The specified subnet does not exist");
}

}  // namespace
