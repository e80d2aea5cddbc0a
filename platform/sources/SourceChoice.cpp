#include "platform/sources/SourceChoice.h"

#include "platform/LocalAddresses.h"
#include "platform/ReadOnlyFile.h"
#include "platform/dhcpd/DhcpdConfig.h"
#include "platform/dhcpd/DhcpdSource.h"
#include "platform/dnsmasq/DnsmasqConfig.h"
#include "platform/dnsmasq/DnsmasqSource.h"
#include "platform/kea/KeaEndpoint.h"
#include "platform/kea/KeaSource.h"
#include "platform/sources/ConfigKind.h"
#include "platform/sources/PidFile.h"

namespace platform::sources {
namespace {

std::vector<std::string> CommandLineOf(const std::string& configPath, const LocalServers& local) {
  return configPath == local.dnsmasqConfig ? local.dnsmasqCommandLine : std::vector<std::string>{};
}

std::unique_ptr<LeaseSource> OpenConfiguration(const std::string& path, const LocalServers& local,
                                               const ConfigFiles& files) {
  ConfigFileRead read = files.read(path);
  if (read.error != FileError::None) {
    return nullptr;
  }
  if (ServerKindOf(read.text) == ServerKind::Dnsmasq) {
    return dnsmasq::OpenDnsmasqSource(path, files, CommandLineOf(path, local));
  }
  return dhcpd::OpenDhcpdSource(path, files);
}

std::unique_ptr<LeaseSource> OpenRunningDhcpd(const LocalServers& local, const ConfigFiles& files) {
  dhcpd::DhcpdConfigRead read = dhcpd::ReadDhcpdConfig(local.dhcpdConfig, files);
  if (read.problem != ConfigProblem::None || read.config.subnets.empty()) {
    return nullptr;
  }
  const std::string pidFiles[] = {read.config.pidFile, local.dhcpdPidFile};
  if (!PidFileNamesRunningProgram(files, pidFiles, "dhcpd")) {
    return nullptr;
  }
  return dhcpd::OpenDhcpdSource(local.dhcpdConfig, files);
}

// A dnsmasq with no range is a DNS server alone (as Debian's package and Pi-hole often run it),
// no DHCP server to take.
std::unique_ptr<LeaseSource> OpenRunningDnsmasq(const LocalServers& local,
                                                const ConfigFiles& files) {
  std::vector<LocalIpv4Address> interfaces = LocalIpv4Addresses();
  dnsmasq::DnsmasqConfigRead read =
      dnsmasq::ReadDnsmasqConfig(local.dnsmasqConfig, files, interfaces, local.dnsmasqCommandLine);
  if (read.problem != ConfigProblem::None || read.config.subnets.empty()) {
    return nullptr;
  }
  const std::string pidFiles[] = {read.config.pidFile, local.dnsmasqPidFile};
  if (!PidFileNamesRunningProgram(files, pidFiles, "dnsmasq")) {
    return nullptr;
  }
  return dnsmasq::OpenDnsmasqSource(local.dnsmasqConfig, files, local.dnsmasqCommandLine);
}

std::unique_ptr<LeaseSource> OpenLocalServer(std::string_view server, const LocalServers& local,
                                             const ConfigFiles& files) {
  if (std::unique_ptr<LeaseSource> kea = kea::OpenRunningLocalKea(local.keaSocket)) {
    return kea;
  }
  if (std::unique_ptr<LeaseSource> dhcpd = OpenRunningDhcpd(local, files)) {
    return dhcpd;
  }
  if (std::unique_ptr<LeaseSource> dnsmasq = OpenRunningDnsmasq(local, files)) {
    return dnsmasq;
  }
  return kea::OpenKeaSource(server, /*localSocket=*/"");
}

}  // namespace

LocalServers DebianLocalServers() {
  LocalServers local;
  local.keaSocket = std::string(kea::kLocalControlSocket);
  local.dhcpdConfig = "/etc/dhcp/dhcpd.conf";
  local.dhcpdPidFile = "/run/dhcpd.pid";
  local.dnsmasqConfig = "/etc/dnsmasq.conf";
  local.dnsmasqPidFile = "/run/dnsmasq/dnsmasq.pid";
  local.dnsmasqCommandLine = {"conf-dir=/etc/dnsmasq.d,.dpkg-dist,.dpkg-old,.dpkg-new"};
  return local;
}

std::unique_ptr<LeaseSource> OpenLeaseSource(std::string_view server, const LocalServers& local,
                                             const ConfigFiles& files) {
  if (!server.empty() && server.front() == '/' && IsRegularFile(std::string(server))) {
    return OpenConfiguration(std::string(server), local, files);
  }
  if (kea::IsLocalDefaultServer(server)) {
    return OpenLocalServer(server, local, files);
  }
  return kea::OpenKeaSource(server);
}

std::unique_ptr<LeaseSource> OpenLeaseSource(std::string_view server) {
  return OpenLeaseSource(server, DebianLocalServers(), SystemConfigFiles());
}

}  // namespace platform::sources
