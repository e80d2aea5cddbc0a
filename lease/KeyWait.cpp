#include "lease/KeyWait.h"

#include "lease/ConsoleLine.h"
#include "platform/Console.h"

namespace lease {

void WaitForKey() {
  WriteConsoleLine("");
  WriteConsoleLine("Press any key to exit");
  platform::WaitForConsoleKey();
}

}  // namespace lease
