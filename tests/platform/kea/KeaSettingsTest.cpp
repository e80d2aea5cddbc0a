#include "platform/kea/KeaSettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

TEST(KeaSettings, UnusableTimeoutIsNamedWithTheValueUsed) {
  EXPECT_EQ(UnusableTimeoutNotice("abc"),
            "leasedump: LEASEDUMP_TIMEOUT \"abc\" is not a whole number of seconds from 1 to "
            "86400; using 60\r\n");
  for (const char* text : {"", "0", "-1", "1e9", "86401"}) {
    EXPECT_NE(UnusableTimeoutNotice(text), "") << text;
  }
  for (const char* text : {"1", "60", "060", "86400"}) {
    EXPECT_EQ(UnusableTimeoutNotice(text), "") << text;
  }
  EXPECT_EQ(UnusableTimeoutNotice(nullptr), "");
}

class PasswordFile : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path_); }

  const char* Holding(const std::string& content) {
    std::ofstream(path_, std::ios::binary) << content;
    return path_.c_str();
  }

  std::string path_ = (std::filesystem::temp_directory_path() /
                       ("leasedump-password-" + std::to_string(::getpid())))
                          .string();
};

// (file content, password): one line end goes, nothing else.
TEST_F(PasswordFile, PasswordIsTheContentWithoutOneLineEnd) {
  const struct {
    std::string content;
    std::string password;
  } rows[] = {
      {"s3cret\n", "s3cret"},
      {"s3cret\r\n", "s3cret"},
      {"s3cret", "s3cret"},
      {"s3cret\n\n", "s3cret\n"},
      {" pass word \n", " pass word "},
      {"\n", ""},
      {"", ""},
      {"s3cret\r", "s3cret\r"},
      {std::string(kMaxPasswordFileBytes, 'p'), std::string(kMaxPasswordFileBytes, 'p')},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PasswordFromFile(Holding(row.content)), row.password) << row.content.substr(0, 20);
  }
}

TEST_F(PasswordFile, FileThatCannotBeReadGivesNoPassword) {
  EXPECT_EQ(PasswordFromFile(Holding(std::string(kMaxPasswordFileBytes + 1, 'p'))), std::nullopt);
  for (const char* path : {"/nonexistent/leasedump/password", "", "/", "/dev/null"}) {
    EXPECT_EQ(PasswordFromFile(path), std::nullopt) << path;
  }
}

// A file of the test's own, for the CA file as for the password file.
using CaFile = PasswordFile;

TEST_F(CaFile, IsReadWholeOnlyWhenItIsARegularFileWithinItsBound) {
  const std::string pem = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
  EXPECT_EQ(CaCertificatesFromFile(Holding(pem)), pem);
  EXPECT_EQ(CaCertificatesFromFile(Holding(std::string(kMaxCaFileBytes, 'c'))),
            std::string(kMaxCaFileBytes, 'c'));
  EXPECT_EQ(CaCertificatesFromFile(Holding(std::string(kMaxCaFileBytes + 1, 'c'))), std::nullopt);
  std::filesystem::remove(path_);
  // A named pipe with no writer: opening it to read would wait for one for ever.
  ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
  EXPECT_EQ(CaCertificatesFromFile(path_.c_str()), std::nullopt);
  for (const char* path : {"/nonexistent/leasedump/ca.pem", "", "/", "/dev/zero"}) {
    EXPECT_EQ(CaCertificatesFromFile(path), std::nullopt) << path;
  }
  ::setenv("LEASEDUMP_CA_FILE", path_.c_str(), 1);
  EXPECT_TRUE(ReadKeaSettings().caUnreadable);
  ::unsetenv("LEASEDUMP_CA_FILE");
  EXPECT_FALSE(ReadKeaSettings().caUnreadable);
}

TEST_F(PasswordFile, EnvironmentPasswordComesFirstThenTheFile) {
  ::setenv("LEASEDUMP_PASSWORD_FILE", Holding("from-file\n"), 1);
  ::setenv("LEASEDUMP_PASSWORD", "from-environment", 1);
  EXPECT_EQ(ReadKeaSettings().password, "from-environment");
  ::unsetenv("LEASEDUMP_PASSWORD");
  KeaSettings settings = ReadKeaSettings();
  EXPECT_EQ(settings.password, "from-file");
  EXPECT_FALSE(settings.passwordUnreadable);
  ::setenv("LEASEDUMP_PASSWORD_FILE", "/nonexistent/leasedump/password", 1);
  settings = ReadKeaSettings();
  EXPECT_EQ(settings.password, "");
  EXPECT_TRUE(settings.passwordUnreadable);
  ::unsetenv("LEASEDUMP_PASSWORD_FILE");
}

}  // namespace
}  // namespace platform::kea
