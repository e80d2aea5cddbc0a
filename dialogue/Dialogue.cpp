#include "dialogue/Dialogue.h"

#include <string>

#include "dialogue/Answer.h"
#include "dialogue/OutputChoice.h"
#include "lease/UnitFunc.h"
#include "platform/DefaultFileName.h"
#include "platform/Process.h"
#include "platform/Sockets.h"

namespace dialogue {
namespace {

constexpr const char* kDefaultServer = "127.0.0.1";
constexpr int kExitAfterErrors = 2;

void WriteIntroduction() {
  lease::WriteConsoleLine("");
  lease::WriteConsoleLine("leasedump: saves every lease of a DHCP server to a file");
  lease::WriteConsoleLine("");
  lease::WriteConsoleLine(
      "Query MAC addresses, IP addresses, etc. from win32 DHCP server. Querid entris are saved to "
      "an XML file which can be opened with Corvitt. It's recommended that run this tool under "
      "the DHCP server or a domain member computer.");
  lease::WriteConsoleLine("");
}

std::string Ask(const std::string& promptStart, const std::string& defaultValue) {
  lease::WriteConsoleLine(promptStart + " (" + defaultValue + " by default):");
  return ReadAnswer(defaultValue);
}

}  // namespace

int RunDialogue() {
  WriteIntroduction();
  const std::string server = Ask("Enter DHCP server address", kDefaultServer);
  const std::string fileName =
      Ask("Enter one file name to save the query data", platform::DefaultResultFileName());

  platform::StartSockets();
  {
    lease::LeaseList leases;
    if (!fileName.empty()) {
      int count = lease::QueryServer(server, leases);
      lease::WriteConsoleLine("\r\n\r\nQueried " + std::to_string(count) + " entries from server " +
                              server + ".");
    }
    SaveInChosenForm(leases, fileName, platform::ProgramArguments());
  }
  platform::StopSockets();
  lease::WaitForKey();
  return lease::ErrorLinesWritten() > 0 ? kExitAfterErrors : 0;
}

}  // namespace dialogue
