#include "platform/NarrowText.h"

#include <windows.h>

namespace platform {

// The code page behind CP_THREAD_ACP, through which every narrow text of the tool is converted.
bool NarrowTextIsUtf8() {
  CPINFOEXW info;
  return ::GetCPInfoExW(CP_THREAD_ACP, 0, &info) && info.CodePage == CP_UTF8;
}

}  // namespace platform
