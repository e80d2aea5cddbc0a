#include "platform/DefaultFileName.h"

namespace platform {

const char* DefaultResultFileName() {
  return "C:\\DHCP.xml";
}

}  // namespace platform
