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
constexpr int kExitClean = 0;
constexpr int kExitNotAllDone = 2;

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

// A script must not take an old file for today's: anything short of a complete query and a
// saved file (or none to save) is not a clean run.
int ExitStatusOf(const lease::QueryOutcome& query, OutputResult output) {
  const bool saved = output == OutputResult::Saved || output == OutputResult::NothingToSave;
  return query.complete && saved ? kExitClean : kExitNotAllDone;
}

}  // namespace

int RunDialogue() {
  WriteIntroduction();
  const std::string server = Ask("Enter DHCP server address", kDefaultServer);
  const std::string fileName =
      Ask("Enter one file name to save the query data", platform::DefaultResultFileName());

  lease::QueryOutcome query;
  OutputResult output = OutputResult::NothingToSave;
  {
    const platform::SocketLibrary sockets;
    lease::LeaseList leases;
    if (!fileName.empty()) {
      query = lease::QueryServer(server, leases);
      lease::WriteConsoleLine("\r\n\r\nQueried " + std::to_string(query.count) +
                              " entries from server " + server + ".");
    }
    output = SaveInChosenForm(leases, fileName, platform::ProgramArguments());
  }
  lease::WaitForKey();
  return ExitStatusOf(query, output);
}

}  // namespace dialogue
