#include "dialogue/ReportEscapedFailure.h"

#include "platform/Console.h"
#include "platform/Process.h"
#include "runtime/Exception.h"
#include "runtime/FailureReport.h"

namespace dialogue {

void ReportEscapedFailure(const runtime::Exception& failure) {
  std::string report = runtime::FormatFailureReport(failure, platform::ProgramFileName());
  platform::WriteStandardError(platform::ToConsoleCodePage(report));
}

}  // namespace dialogue
