#include "platform/kea/KeaReply.h"

#include <gtest/gtest.h>

#include <string>

namespace platform::kea {
namespace {

std::string InList(const std::string& answer) {
  return "[ " + answer + " ]";
}

std::string LeasesAnswer(const std::string& leases) {
  return InList(R"({ "arguments": { "leases": [ )" + leases +
                R"( ] }, "result": 0, "text": "n IPv4 lease(s) found." })");
}

std::string ConfigAnswer(const std::string& dhcp4) {
  return InList(R"({ "arguments": { "Dhcp4": )" + dhcp4 + R"( }, "result": 0 })");
}

TEST(KeaReply, VersionFromTheAgentsListOrABareAnswer) {
  KeaReply<KeaVersion> listed = DecodeVersionReply(
      R"([ { "arguments": { "extended": "2.2.0\ntarball" }, "result": 0, "text": "2.2.0" } ])");
  EXPECT_EQ(listed.status, dhcp_status::kSuccess);
  EXPECT_EQ(listed.value.major, 2u);
  EXPECT_EQ(listed.value.minor, 2u);

  KeaReply<KeaVersion> bare = DecodeVersionReply(R"({"result": 0, "text": "2.6.1"})");
  EXPECT_EQ(bare.status, dhcp_status::kSuccess);
  EXPECT_EQ(bare.value.major, 2u);
  EXPECT_EQ(bare.value.minor, 6u);
}

TEST(KeaReply, ResultCodesBecomeApiStatuses) {
  EXPECT_EQ(DecodeVersionReply(R"([{"result": 1, "text": "unable to forward"}])").status,
            dhcp_status::kInvalidData);
  EXPECT_EQ(DecodeSubnetsReply(R"([{"result": 2, "text": "not supported"}])").status,
            dhcp_status::kNotSupported);
  EXPECT_EQ(DecodeLeasesReply(R"([{"result": 2, "text": "not supported"}])").status,
            dhcp_status::kNotSupported);
  EXPECT_EQ(DecodeLeasesReply(R"({"result": 401, "text": "Unauthorized"})").status,
            dhcp_status::kAccessDenied);
  EXPECT_EQ(DecodeVersionReply(R"([{"result": 3, "text": "empty"}])").status,
            dhcp_status::kInvalidData);
  EXPECT_EQ(DecodeVersionReply(R"([{"result": -1}])").status, dhcp_status::kInvalidData);
}

// What kea-ctrl-agent answers while kea-dhcp4 is stopped: the server is not there.
TEST(KeaReply, AgentThatCannotForwardMeansAnUnavailableServer) {
  const std::string stopped =
      R"([{"result": 1, "text": "unable to forward command to the dhcp4 service: No such file or )"
      R"(directory. The server is likely to be offline"}])";
  EXPECT_EQ(DecodeVersionReply(stopped).status, dhcp_status::kRpcServerUnavailable);
  EXPECT_EQ(DecodeSubnetsReply(stopped).status, dhcp_status::kRpcServerUnavailable);
  EXPECT_EQ(DecodeLeasesReply(stopped).status, dhcp_status::kRpcServerUnavailable);
  EXPECT_EQ(
      DecodeVersionReply(R"([{"result": 2, "text": "unable to forward command to the x"}])").status,
      dhcp_status::kNotSupported);
}

// None of these is the answer described; each must give invalid data, none may crash.
TEST(KeaReply, MalformedRepliesAreInvalidData) {
  const std::string deep(100000, '[');
  for (const std::string& body :
       {std::string(), std::string("   "), std::string("[]"), std::string("[1]"),
        std::string("null"), std::string("\"text\""), std::string("{}"),
        std::string(R"({"result": "0"})"), std::string(R"({"result": 0.5})"),
        std::string(R"({"result": 0, "text": 7})"), std::string(R"([{"result": 0)"),
        std::string(R"([{"result": 0}] trailing)"), std::string("\xFF\xFE"), deep,
        std::string(R"({"result": 0, "text": "\ud800"})")}) {
    EXPECT_EQ(DecodeVersionReply(body).status, dhcp_status::kInvalidData) << body.substr(0, 40);
    EXPECT_EQ(DecodeSubnetsReply(body).status, dhcp_status::kInvalidData) << body.substr(0, 40);
    EXPECT_EQ(DecodeLeasesReply(body).status, dhcp_status::kInvalidData) << body.substr(0, 40);
  }
}

TEST(KeaReply, SubnetsArePlainOnesThenThoseOfEachSharedNetwork) {
  KeaReply<std::vector<KeaSubnet>> reply = DecodeSubnetsReply(ConfigAnswer(R"({
      "shared-networks": [
        { "name": "a", "subnet4": [ { "id": 30, "subnet": "10.3.0.0/16" } ] },
        { "name": "empty" },
        { "name": "b", "subnet4": [ { "id": 40, "subnet": "10.4.4.0/22" },
                                    { "id": 41, "subnet": "10.4.8.0/22" } ] } ],
      "subnet4": [ { "id": 7, "subnet": "192.168.1.0/24" }, { "id": 4294967295, "subnet": "10.1.2.0/24" } ] })"));
  ASSERT_EQ(reply.status, dhcp_status::kSuccess);
  ASSERT_EQ(reply.value.size(), 5u);
  const std::uint32_t ids[] = {7, 4294967295u, 30, 40, 41};
  const std::uint32_t addresses[] = {0xC0A80100, 0x0A010200, 0x0A030000, 0x0A040400, 0x0A040800};
  const std::uint8_t lengths[] = {24, 24, 16, 22, 22};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(reply.value[i].id, ids[i]);
    EXPECT_EQ(reply.value[i].prefix.address, addresses[i]);
    EXPECT_EQ(reply.value[i].prefix.length, lengths[i]);
  }
}

TEST(KeaReply, ServerWithoutSubnetsHasNone) {
  KeaReply<std::vector<KeaSubnet>> reply = DecodeSubnetsReply(ConfigAnswer("{}"));
  EXPECT_EQ(reply.status, dhcp_status::kSuccess);
  EXPECT_TRUE(reply.value.empty());
}

TEST(KeaReply, ConfigurationNotAsDescribedIsInvalidData) {
  for (const std::string& body :
       {InList(R"({"result": 0})"), InList(R"({"result": 0, "arguments": {"Dhcp6": {}}})"),
        ConfigAnswer(R"({"subnet4": {}})"), ConfigAnswer(R"({"subnet4": [ 5 ]})"),
        ConfigAnswer(R"({"subnet4": [ { "subnet": "10.0.0.0/8" } ]})"),
        ConfigAnswer(R"({"subnet4": [ { "id": -1, "subnet": "10.0.0.0/8" } ]})"),
        ConfigAnswer(R"({"subnet4": [ { "id": 4294967296, "subnet": "10.0.0.0/8" } ]})"),
        ConfigAnswer(R"({"subnet4": [ { "id": 1, "subnet": "2001:db8::/64" } ]})"),
        ConfigAnswer(R"({"shared-networks": [ { "subnet4": [ { "id": 1 } ] } ]})"),
        ConfigAnswer(R"({"shared-networks": "none"})")}) {
    KeaReply<std::vector<KeaSubnet>> reply = DecodeSubnetsReply(body);
    EXPECT_EQ(reply.status, dhcp_status::kInvalidData) << body;
    EXPECT_TRUE(reply.value.empty());
  }
}

TEST(KeaReply, LeaseFieldsAsKea22WritesThem) {
  KeaReply<std::vector<KeaLease>> reply = DecodeLeasesReply(LeasesAnswer(R"(
      { "cltt": 3999996400, "fqdn-fwd": false, "hostname": "pc1.example.",
        "hw-address": "00:16:3e:00:00:01", "ip-address": "10.1.2.10", "state": 0,
        "subnet-id": 1, "valid-lft": 3600 },
      { "client-id": "01:02:03", "cltt": 5, "subnet-id": 4294967295, "hostname": "\u00c3\u009cn\u00c3\u00afcode..",
        "hw-address": "", "ip-address": "10.1.2.12", "state": 1, "valid-lft": 4294967295 },
      { "ip-address": "10.1.2.13", "hostname": "a,b&c<>\"'.", "state": 2, "subnet-id": 2 })"));
  ASSERT_EQ(reply.status, dhcp_status::kSuccess);
  ASSERT_EQ(reply.value.size(), 3u);
  const KeaLease& first = reply.value[0];
  EXPECT_EQ(first.address, 0x0A01020Au);
  EXPECT_EQ(first.hardwareAddress, (std::vector<std::uint8_t>{0x00, 0x16, 0x3E, 0, 0, 1}));
  EXPECT_EQ(first.hostName, "pc1.example.");
  EXPECT_EQ(first.lastTransactionTime, 3999996400u);
  EXPECT_EQ(first.validLifetime, 3600u);
  EXPECT_EQ(first.subnetId, 1u);
  const KeaLease& second = reply.value[1];
  EXPECT_TRUE(second.hardwareAddress.empty());
  EXPECT_EQ(second.hostName,
            "\xC3\x9Cn\xC3\xAF"
            "code..");
  EXPECT_EQ(second.validLifetime, kInfiniteLifetime);
  EXPECT_EQ(second.subnetId, 4294967295u);
  const KeaLease& third = reply.value[2];
  EXPECT_EQ(third.hostName, "a,b&c<>\"'.");
  EXPECT_TRUE(third.hardwareAddress.empty());
  EXPECT_EQ(third.lastTransactionTime, 0u);
}

TEST(KeaReply, NoLeasesFoundIsAnEmptySuccess) {
  KeaReply<std::vector<KeaLease>> reply = DecodeLeasesReply(
      R"([ { "arguments": { "leases": [  ] }, "result": 3, "text": "0 IPv4 lease(s) found." } ])");
  EXPECT_EQ(reply.status, dhcp_status::kSuccess);
  EXPECT_TRUE(reply.value.empty());
  EXPECT_EQ(DecodeLeasesReply(R"({"result": 3})").status, dhcp_status::kSuccess);
  EXPECT_EQ(DecodeLeasesReply(LeasesAnswer("")).status, dhcp_status::kSuccess);
}

// One bad lease spoils the reply: a half-read subnet would pass for a whole one.
TEST(KeaReply, LeaseNotAsDescribedIsInvalidData) {
  for (const std::string& lease :
       {std::string("7"), std::string(R"({ "hostname": "x", "subnet-id": 1 })"),
        std::string(R"({ "ip-address": "10.1.2.300", "subnet-id": 1 })"),
        std::string(R"({ "ip-address": 167838220 })"),
        std::string(R"({ "ip-address": "10.1.2.3", "subnet-id": 1, "hw-address": "00-16-3e" })"),
        std::string(R"({ "ip-address": "10.1.2.3", "subnet-id": 1, "hw-address": 5 })"),
        std::string(R"({ "ip-address": "10.1.2.3", "subnet-id": 1, "hostname": ["x"] })"),
        std::string(R"({ "ip-address": "10.1.2.3", "subnet-id": 1, "cltt": -1 })"),
        std::string(R"({ "ip-address": "10.1.2.3", "subnet-id": 1, "valid-lft": 4294967296 })"),
        // Without its subnet a lease cannot be told from a neighbour's in a page.
        std::string(R"({ "ip-address": "10.1.2.3" })"),
        std::string(R"({ "ip-address": "10.1.2.3", "subnet-id": "1" })"),
        std::string(R"({ "ip-address": "10.1.2.3", "subnet-id": 4294967296 })")}) {
    std::string body = LeasesAnswer(R"({ "ip-address": "10.1.2.1", "subnet-id": 1 }, )" + lease);
    KeaReply<std::vector<KeaLease>> reply = DecodeLeasesReply(body);
    EXPECT_EQ(reply.status, dhcp_status::kInvalidData) << lease;
    EXPECT_TRUE(reply.value.empty());
  }
  EXPECT_EQ(DecodeLeasesReply(InList(R"({"result": 0})")).status, dhcp_status::kInvalidData);
  EXPECT_EQ(DecodeLeasesReply(InList(R"({"result": 0, "arguments": {"leases": {}}})")).status,
            dhcp_status::kInvalidData);
}

TEST(KeaReply, NullMembersCountAsAbsent) {
  KeaReply<std::vector<KeaLease>> reply = DecodeLeasesReply(
      LeasesAnswer(R"({ "ip-address": "10.0.0.1", "subnet-id": 1, "hostname": null,
                        "hw-address": null })"));
  ASSERT_EQ(reply.status, dhcp_status::kSuccess);
  ASSERT_EQ(reply.value.size(), 1u);
  EXPECT_EQ(reply.value[0].hostName, "");
}

}  // namespace
}  // namespace platform::kea
