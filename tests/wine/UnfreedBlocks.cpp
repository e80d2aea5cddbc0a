// unfreed-blocks.exe: takes blocks from the DHCP API and gives none back, then frees a pointer
// that the API never handed out. The fake DLL must report both when the process ends; otherwise
// the check that every run leaves standard error empty would prove nothing.
#include "platform/DhcpApi.h"

int main() {
  char16_t server[] = u"127.0.0.1";
  DHCP_RESUME_HANDLE resume = 0;
  DHCP_IP_ARRAY* subnets = nullptr;
  std::uint32_t read = 0;
  std::uint32_t total = 0;
  std::uint32_t status =
      DhcpEnumSubnets(server, &resume, kDhcpPreferredMaximum, &subnets, &read, &total);
  int foreign = 0;
  DhcpRpcFreeMemory(&foreign);
  return status == dhcp_status::kSuccess && subnets != nullptr ? 0 : 1;
}
