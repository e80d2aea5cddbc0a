#include "platform/kea/KeaSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace platform::kea {
namespace {

TEST(KeaSettings, TimeoutIsWholeSecondsFromOne) {
  EXPECT_EQ(TimeoutSecondsFrom("1"), 1);
  EXPECT_EQ(TimeoutSecondsFrom("90"), 90);
  EXPECT_EQ(TimeoutSecondsFrom("86400"), 86400);
}

TEST(KeaSettings, UnusableTimeoutFallsBackToTheDefault) {
  for (const char* text : {"", "0", "-5", "+5", " 5", "5s", "1.5", "86401", "99999999999"}) {
    EXPECT_EQ(TimeoutSecondsFrom(text), kDefaultTimeoutSeconds) << text;
  }
  EXPECT_EQ(TimeoutSecondsFrom(nullptr), kDefaultTimeoutSeconds);
}

TEST(KeaSettings, ReadsItsVariablesFromTheEnvironment) {
  ::setenv("LEASEDUMP_TIMEOUT", "7", 1);
  ::setenv("LEASEDUMP_USER", "admin", 1);
  ::setenv("LEASEDUMP_PASSWORD", "s3cret", 1);
  ::unsetenv("LEASEDUMP_CA_FILE");
  KeaSettings settings = ReadKeaSettings();
  EXPECT_EQ(settings.timeoutSeconds, 7);
  EXPECT_EQ(settings.user, "admin");
  EXPECT_EQ(settings.password, "s3cret");
  EXPECT_EQ(settings.caFile, "");
  ::unsetenv("LEASEDUMP_TIMEOUT");
  ::unsetenv("LEASEDUMP_USER");
  ::unsetenv("LEASEDUMP_PASSWORD");
}

}  // namespace
}  // namespace platform::kea
