#include "platform/NarrowText.h"

namespace platform {

bool NarrowTextIsUtf8() {
  return true;
}

}  // namespace platform
