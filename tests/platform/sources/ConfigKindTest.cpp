#include "platform/sources/ConfigKind.h"

#include <gtest/gtest.h>

namespace platform::sources {
namespace {

struct Row {
  const char* text;
  ServerKind kind;
};

class ConfigKindTable : public testing::TestWithParam<Row> {};

TEST_P(ConfigKindTable, IsTold) {
  EXPECT_EQ(ServerKindOf(GetParam().text), GetParam().kind) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ConfigKindTable,
    testing::Values(
        Row{"# Configuration file for dnsmasq.\n#\nport=0\nbind-interfaces\n"
            "dhcp-range = 192.0.2.10,192.0.2.20 # spaces\n  no-resolv # bare\n",
            ServerKind::Dnsmasq},
        Row{"conf-dir=/etc/dnsmasq.d/,*.conf", ServerKind::Dnsmasq},
        Row{"# dhcpd.conf\nddns-update-style none;\nsubnet 10.0.0.0 netmask 255.0.0.0 {\n}\n",
            ServerKind::Dhcpd},
        // A dhcpd statement whose first line looks like an option of dnsmasq.
        Row{"authoritative\n;\n", ServerKind::Dhcpd}, Row{"authoritative;\n", ServerKind::Dhcpd},
        Row{"include \"/etc/dhcp/x.conf\";\n", ServerKind::Dhcpd}, Row{"}\n", ServerKind::Dhcpd},
        Row{"bind-interfaces#no comment without a space\n", ServerKind::Dhcpd},
        // Nothing to tell by: dhcpd's reader says there is no subnet.
        Row{"", ServerKind::Dhcpd}, Row{"# only comments\n\n", ServerKind::Dhcpd}));

}  // namespace
}  // namespace platform::sources
