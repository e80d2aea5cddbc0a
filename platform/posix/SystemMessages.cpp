#include "platform/SystemMessages.h"

#include "platform/DhcpStatus.h"

namespace platform {

// Linux has no system message table for the Windows status codes that our DHCP client returns,
// so it carries the Windows texts of those codes, worded and ended as the system gives them.
std::string SystemMessageText(std::uint32_t code) {
  switch (code) {
    case dhcp_status::kSuccess:
      return "The operation completed successfully.\r\n";
    case dhcp_status::kFileNotFound:
      return "The system cannot find the file specified.\r\n";
    case dhcp_status::kAccessDenied:
      return "Access is denied.\r\n";
    case dhcp_status::kInvalidData:
      return "The data is invalid.\r\n";
    case dhcp_status::kNotSupported:
      return "The request is not supported.\r\n";
    case dhcp_status::kOpenFailed:
      return "The system cannot open the device or file specified.\r\n";
    case dhcp_status::kInvalidParameter:
      return "The parameter is incorrect.\r\n";
    case dhcp_status::kMoreData:
      return "More data is available.\r\n";
    case dhcp_status::kNoMoreItems:
      return "No more data is available.\r\n";
    case dhcp_status::kTimeout:
      return "This operation returned because the timeout period expired.\r\n";
    case dhcp_status::kRpcServerUnavailable:
      return "The RPC server is unavailable.\r\n";
    case dhcp_status::kSubnetNotPresent:
      return "The specified subnet does not exist.\r\n";
    default:
      return {};
  }
}

}  // namespace platform
