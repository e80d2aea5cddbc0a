#include "platform/DefaultFileName.h"

namespace platform {

// There is no drive C: here; the working directory is where a user looks for the file.
const char* DefaultResultFileName() {
  return "DHCP.xml";
}

}  // namespace platform
