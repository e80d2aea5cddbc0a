#include "platform/SystemMessages.h"

namespace platform {

// Linux has no system message table for the Windows status codes that our DHCP client returns,
// so it carries the Windows texts of those codes, worded and ended as the system gives them.
std::string SystemMessageText(std::uint32_t code) {
  switch (code) {
    case 0:
      return "The operation completed successfully.\r\n";
    case 5:
      return "Access is denied.\r\n";
    case 13:
      return "The data is invalid.\r\n";
    case 50:
      return "The request is not supported.\r\n";
    case 234:
      return "More data is available.\r\n";
    case 259:
      return "No more data is available.\r\n";
    case 1460:
      return "This operation returned because the timeout period expired.\r\n";
    case 1722:
      return "The RPC server is unavailable.\r\n";
    default:
      return {};
  }
}

}  // namespace platform
