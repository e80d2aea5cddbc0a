#include "platform/sources/SourceChoice.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/dhcpd/DhcpdSource.h"
#include "platform/dnsmasq/DnsmasqSource.h"
#include "platform/kea/KeaSource.h"
#include "platform/sources/FileServerSource.h"
#include "platform/sources/PidFile.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace platform::sources {
namespace {

using test_support::TempDir;
using test_support::WriteWholeFile;

// A process whose command name is `name`: a copy of sleep under that name, ended with the test.
class RunningCopy {
 public:
  RunningCopy(const TempDir& folder, const std::string& name) {
    std::string program = folder.PathOf(name);
    std::filesystem::copy_file("/bin/sleep", program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    char seconds[] = "60";
    char* arguments[] = {program.data(), seconds, nullptr};
    if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, arguments, environ) != 0) {
      pid_ = 0;
    }
  }
  ~RunningCopy() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;

  std::string PidText() const { return std::to_string(pid_) + "\n"; }

 private:
  pid_t pid_ = 0;
};

// The id of a process that has ended and been reaped: what a stale pid file names.
std::string EndedPidText() {
  pid_t pid = 0;
  char program[] = "/bin/true";
  char* arguments[] = {program, nullptr};
  if (::posix_spawn(&pid, program, nullptr, nullptr, arguments, environ) != 0) {
    return "1\n";
  }
  ::waitpid(pid, nullptr, 0);
  return std::to_string(pid) + "\n";
}

// A UNIX socket that accepts connections (the kernel's backlog does), as a running Kea's does.
class ListeningSocket {
 public:
  explicit ListeningSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(fd_, 8);
  }
  ~ListeningSocket() { ::close(fd_); }
  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

 private:
  int fd_;
};

enum class Chosen { Kea, Dhcpd, Dnsmasq, None };

std::string NameOf(Chosen chosen) {
  switch (chosen) {
    case Chosen::Kea:
      return "Kea";
    case Chosen::Dhcpd:
      return "dhcpd";
    case Chosen::Dnsmasq:
      return "dnsmasq";
    case Chosen::None:
      break;
  }
  return "none";
}

// Which source was opened; none is ever asked anything, so no Kea on this machine is reached.
Chosen ChosenOf(const std::unique_ptr<LeaseSource>& source) {
  if (source == nullptr) {
    return Chosen::None;
  }
  if (dynamic_cast<kea::KeaSource*>(source.get()) != nullptr) {
    return Chosen::Kea;
  }
  auto* files = dynamic_cast<FileServerSource*>(source.get());
  if (files != nullptr && files->KindVersion().major == dhcpd::kDhcpdVersion.major) {
    return Chosen::Dhcpd;
  }
  if (files != nullptr && files->KindVersion().major == dnsmasq::kDnsmasqVersion.major) {
    return Chosen::Dnsmasq;
  }
  return Chosen::None;
}

// This machine's servers as a folder of the test's own holds them.
struct LocalFolder {
  LocalFolder() {
    local.keaSocket = folder.PathOf("kea4-ctrl-socket");
    local.dhcpdConfig = folder.PathOf("dhcpd.conf");
    local.dhcpdPidFile = folder.PathOf("dhcpd.pid");
    local.dnsmasqConfig = folder.PathOf("dnsmasq.conf");
    local.dnsmasqPidFile = folder.PathOf("dnsmasq.pid");
    WriteWholeFile(local.dhcpdConfig, "subnet 10.1.0.0 netmask 255.255.255.0 { }\n");
    WriteWholeFile(local.dnsmasqConfig, "port=0\ndhcp-range=10.2.0.10,10.2.0.99,255.255.255.0\n");
  }

  Chosen Default() const { return ChosenOf(OpenLeaseSource("127.0.0.1", local, files)); }

  TempDir folder;
  LocalServers local;
  ConfigFiles files = SystemConfigFiles();
};

// The default answer takes the server that runs: Kea by its socket, then dhcpd, then dnsmasq, by
// a pid file that names a live process of that program; an installed server that is stopped
// (no pid file, a stale one, one whose id went to another program) is passed over, and with none
// running it is Kea over HTTP.
TEST(SourceChoice, DefaultTakesTheServerThatRuns) {
  enum Pid { Missing, Stale, OtherProgram, Live };
  struct Row {
    const char* name;
    bool keaListens;
    Pid dhcpd;
    Pid dnsmasq;
    Chosen chosen;
  };
  const Row rows[] = {
      {"nothing runs", false, Missing, Missing, Chosen::Kea},
      {"stale pid files", false, Stale, Stale, Chosen::Kea},
      {"pids of other programs", false, OtherProgram, OtherProgram, Chosen::Kea},
      {"dhcpd runs", false, Live, Stale, Chosen::Dhcpd},
      {"dnsmasq runs", false, Stale, Live, Chosen::Dnsmasq},
      {"both run", false, Live, Live, Chosen::Dhcpd},
      {"Kea's socket first", true, Live, Live, Chosen::Kea},
  };
  for (const Row& row : rows) {
    LocalFolder local;
    RunningCopy dhcpd(local.folder, "dhcpd");
    RunningCopy dnsmasq(local.folder, "dnsmasq");
    RunningCopy other(local.folder, "something-else");
    auto pidText = [&](Pid pid, const RunningCopy& live) {
      return pid == Stale ? EndedPidText() : pid == OtherProgram ? other.PidText() : live.PidText();
    };
    if (row.dhcpd != Missing) {
      WriteWholeFile(local.local.dhcpdPidFile, pidText(row.dhcpd, dhcpd));
    }
    if (row.dnsmasq != Missing) {
      WriteWholeFile(local.local.dnsmasqPidFile, pidText(row.dnsmasq, dnsmasq));
    }
    std::optional<ListeningSocket> kea;
    if (row.keaListens) {
      kea.emplace(local.local.keaSocket);
    }
    EXPECT_EQ(NameOf(local.Default()), NameOf(row.chosen)) << row.name;
  }
}

// A running server is taken only as a DHCP server: its configuration must name subnets (dnsmasq
// often serves DNS alone); and the pid file that a configuration names is heeded as dhcpd's and
// Debian's init scripts heed it.
TEST(SourceChoice, DefaultTakesARunningServerByWhatItsConfigurationSays) {
  {
    LocalFolder local;
    RunningCopy dnsmasq(local.folder, "dnsmasq");
    WriteWholeFile(local.local.dnsmasqPidFile, dnsmasq.PidText());
    WriteWholeFile(local.local.dnsmasqConfig, "port=53\nno-resolv\n");
    EXPECT_EQ(NameOf(local.Default()), NameOf(Chosen::Kea)) << "dnsmasq without a range";
  }
  {
    LocalFolder local;
    RunningCopy dhcpd(local.folder, "dhcpd");
    std::string named = local.folder.PathOf("named.pid");
    WriteWholeFile(local.local.dhcpdConfig,
                   "pid-file-name \"" + named + "\";\nsubnet 10.1.0.0 netmask 255.255.0.0 { }\n");
    WriteWholeFile(local.local.dhcpdPidFile, EndedPidText());
    WriteWholeFile(named, dhcpd.PidText());
    EXPECT_EQ(NameOf(local.Default()), NameOf(Chosen::Dhcpd)) << "pid-file-name";
  }
  {
    LocalFolder local;
    RunningCopy dhcpd(local.folder, "dhcpd");
    WriteWholeFile(local.local.dhcpdPidFile, dhcpd.PidText());
    std::filesystem::remove(local.local.dhcpdConfig);
    EXPECT_EQ(NameOf(local.Default()), NameOf(Chosen::Kea)) << "dhcpd without its configuration";
  }
}

// A typed path is a configuration when it is a regular file, told apart by its content, and
// Kea's socket otherwise; the host texts stay Kea's.
TEST(SourceChoice, PathOfARegularFileIsAConfiguration) {
  LocalFolder local;
  ListeningSocket socket(local.local.keaSocket);
  std::string dnsmasqElsewhere = local.folder.PathOf("other-dnsmasq.conf");
  WriteWholeFile(dnsmasqElsewhere, "# a comment\ndhcp-range=10.3.0.1,10.3.0.9,255.255.255.0\n");
  struct Row {
    std::string server;
    Chosen chosen;
  };
  for (const Row& row :
       {Row{local.local.dhcpdConfig, Chosen::Dhcpd},
        Row{local.local.dnsmasqConfig, Chosen::Dnsmasq}, Row{dnsmasqElsewhere, Chosen::Dnsmasq},
        Row{local.local.keaSocket, Chosen::Kea},
        Row{local.folder.PathOf("missing.conf"), Chosen::Kea}, Row{"10.0.0.5", Chosen::Kea},
        Row{"http://10.0.0.5:8000/", Chosen::Kea}, Row{"", Chosen::None}}) {
    EXPECT_EQ(NameOf(ChosenOf(OpenLeaseSource(row.server, local.local, local.files))),
              NameOf(row.chosen))
        << row.server;
  }
}

TEST(SourceChoice, PidFileHoldsADecimalIdAndAtMostALineEnd) {
  EXPECT_EQ(PidOfPidFile("1234\n"), 1234u);
  EXPECT_EQ(PidOfPidFile("77"), 77u);
  EXPECT_EQ(PidOfPidFile("4194304\r\n"), 4194304u);
  for (const char* text :
       {"", "\n", "0\n", " 12\n", "12 13\n", "12a\n", "-5\n", "99999999999\n", "2147483648\n"}) {
    EXPECT_EQ(PidOfPidFile(text), std::nullopt) << text;
  }
}

}  // namespace
}  // namespace platform::sources
