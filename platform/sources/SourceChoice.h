#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sources/ConfigFiles.h"
#include "platform/sources/LeaseSource.h"

namespace platform::sources {

// Where the servers that the default answer looks for on this machine keep what tells that they
// run and what they read.
struct LocalServers {
  std::string keaSocket;  // kea-dhcp4's UNIX control socket
  std::string dhcpdConfig;
  std::string dhcpdPidFile;  // besides the one dhcpd's configuration names (`pid-file-name`)
  std::string dnsmasqConfig;
  std::string dnsmasqPidFile;  // besides the one dnsmasq's configuration names (`pid-file`)
  // The long options that the service starts dnsmasq with beside its configuration.
  std::vector<std::string> dnsmasqCommandLine;
};

// The places of Debian's and Ubuntu's packages: kea-dhcp4's /run/kea/kea4-ctrl-socket;
// isc-dhcp-server's /etc/dhcp/dhcpd.conf and /run/dhcpd.pid (its init script's
// /var/run/dhcpd.pid, unless the configuration names another); dnsmasq's /etc/dnsmasq.conf and
// /run/dnsmasq/dnsmasq.pid, with the folder /etc/dnsmasq.d that /etc/default/dnsmasq has the
// service read (without the package manager's .dpkg-dist, .dpkg-old and .dpkg-new files).
LocalServers DebianLocalServers();

// The source of leases that the server text names; null when it names none.
//
// - The absolute path of a regular file: a server's configuration, dnsmasq's or else dhcpd's
//   by its content (ServerKindOf); one that cannot be read is no server. dnsmasq's configuration
//   at the local place is read with the local command line, as the service reads it.
// - The default answer (127.0.0.1, localhost): the server that runs on this machine, decided now
//   and kept for the session: Kea when its local socket accepts a connection; else dhcpd when one
//   of its pid files names a running dhcpd and its configuration names subnets; else dnsmasq
//   likewise; else Kea over HTTP on port 8000. A server that is installed but stopped, whose
//   socket refuses or whose pid file names no live process of it, is passed over.
// - Anything else: Kea, over its UNIX socket (another absolute path) or HTTP/HTTPS.
std::unique_ptr<LeaseSource> OpenLeaseSource(std::string_view server, const LocalServers& local,
                                             const ConfigFiles& files);

// The same with Debian's places and the files of this machine.
std::unique_ptr<LeaseSource> OpenLeaseSource(std::string_view server);

}  // namespace platform::sources
