// The test hook of the Kea integration tests: runs the bare DHCP API against a server and prints
// what came back, for the tests to compare.
//   kea_probe api SERVER [SUBNET...]  every call's status and arrays, one JSON object a line;
//                                     the subnets given are asked for after the server's own

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "lease/AddressFormat.h"
#include "lease/DhcpArrays.h"
#include "lease/UnitFunc.h"
#include "platform/DhcpApi.h"
#include "platform/TextEncoding.h"

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

std::string ClientJson(const DHCP_CLIENT_INFO& client) {
  const DHCP_BINARY_DATA& hardware = client.ClientHardwareAddress;
  std::string hardwareBytes(reinterpret_cast<const char*>(hardware.Data),
                            hardware.Data != nullptr ? hardware.DataLength : 0);
  std::string name = client.ClientName != nullptr
                         ? Quoted(Hex(platform::NarrowFromWide(client.ClientName)))
                         : "null";
  std::uint64_t expires = (std::uint64_t{client.ClientLeaseExpires.dwHighDateTime} << 32) |
                          client.ClientLeaseExpires.dwLowDateTime;
  return "{\"ip\": " + Quoted(lease::FormatIpAddress(client.ClientIpAddress)) +
         ", \"mask\": " + Quoted(lease::FormatIpAddress(client.SubnetMask)) +
         ", \"hw\": " + Quoted(Hex(hardwareBytes)) + ", \"name\": " + name +
         ", \"expires\": " + std::to_string(expires) + "}";
}

void PrintClients(char16_t* server, DHCP_IP_ADDRESS subnet, DHCP_RESUME_HANDLE& resume) {
  DHCP_CLIENT_INFO_ARRAY* answer = nullptr;
  std::uint32_t read = 0;
  std::uint32_t total = 0;
  std::uint32_t status =
      DhcpEnumSubnetClients(server, subnet, &resume, kDhcpPreferredMaximum, &answer, &read, &total);
  lease::DhcpClientArrayPtr clients(answer);
  std::string line =
      "{\"call\": \"clients\", \"subnet\": " + Quoted(lease::FormatIpAddress(subnet)) +
      ", \"status\": " + std::to_string(status) + ", \"read\": " + std::to_string(read) +
      ", \"total\": " + std::to_string(total) + ", \"resume\": " + std::to_string(resume) +
      ", \"clients\": ";
  if (!clients) {
    line += "null";
  } else {
    line += "[";
    for (std::uint32_t i = 0; i < clients->NumElements; ++i) {
      line += (i > 0 ? ", " : "") + ClientJson(*clients->Clients[i]);
    }
    line += "]";
  }
  std::puts((line + "}").c_str());
}

// The subnets of one enumeration call, printed; nothing when no array came back.
std::vector<DHCP_IP_ADDRESS> PrintSubnets(char16_t* server, DHCP_RESUME_HANDLE& resume) {
  DHCP_IP_ARRAY* answer = nullptr;
  std::uint32_t read = 0;
  std::uint32_t total = 0;
  std::uint32_t status =
      DhcpEnumSubnets(server, &resume, kDhcpPreferredMaximum, &answer, &read, &total);
  lease::DhcpIpArrayPtr array(answer);
  std::vector<DHCP_IP_ADDRESS> subnets;
  std::string line = "{\"call\": \"subnets\", \"status\": " + std::to_string(status) +
                     ", \"read\": " + std::to_string(read) +
                     ", \"total\": " + std::to_string(total) +
                     ", \"resume\": " + std::to_string(resume) + ", \"subnets\": ";
  if (!array) {
    line += "null";
  } else {
    line += "[";
    for (std::uint32_t i = 0; i < array->NumElements; ++i) {
      subnets.push_back(array->Elements[i]);
      line += (i > 0 ? ", " : "") + Quoted(lease::FormatIpAddress(array->Elements[i]));
    }
    line += "]";
  }
  std::puts((line + "}").c_str());
  return subnets;
}

int ProbeApi(char16_t* server, const std::vector<DHCP_IP_ADDRESS>& extraSubnets) {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t status = DhcpGetVersion(server, &major, &minor);
  std::printf("{\"call\": \"version\", \"status\": %u, \"major\": %u, \"minor\": %u}\n", status,
              major, minor);
  DHCP_RESUME_HANDLE subnetResume = 0;
  std::vector<DHCP_IP_ADDRESS> subnets = PrintSubnets(server, subnetResume);
  PrintSubnets(server, subnetResume);  // past the end
  subnets.insert(subnets.end(), extraSubnets.begin(), extraSubnets.end());
  for (DHCP_IP_ADDRESS subnet : subnets) {
    DHCP_RESUME_HANDLE clientResume = 0;
    PrintClients(server, subnet, clientResume);
    if (clientResume > 0) {
      PrintClients(server, subnet, clientResume);  // past the end
    }
  }
  return 0;
}

std::optional<DHCP_IP_ADDRESS> ParseAddress(const std::string& text) {
  unsigned a, b, c, d;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4) {
    return std::nullopt;
  }
  return (a << 24) | (b << 16) | (c << 8) | d;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() >= 2 && arguments[0] == "api") {
    std::u16string server = platform::WideFromNarrow(arguments[1]);
    std::vector<DHCP_IP_ADDRESS> extra;
    for (std::size_t i = 2; i < arguments.size(); ++i) {
      if (std::optional<DHCP_IP_ADDRESS> subnet = ParseAddress(arguments[i])) {
        extra.push_back(*subnet);
      }
    }
    return ProbeApi(server.data(), extra);
  }
  std::fputs("usage: kea_probe api SERVER [SUBNET...]\n", stderr);
  return 2;
}
