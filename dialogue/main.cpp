#include <new>

#include "dialogue/Dialogue.h"
#include "dialogue/ReportEscapedFailure.h"
#include "platform/Process.h"
#include "runtime/Exception.h"

// Nothing else catches a failure: one that escapes ends the run with a report and status 1.
int main(int argc, char** argv) {
  platform::PrepareProcess(argc, argv);
  try {
    dialogue::RunDialogue();
    return 0;
  } catch (const runtime::Exception& failure) {
    dialogue::ReportEscapedFailure(failure);
  } catch (const std::bad_alloc&) {
    dialogue::ReportEscapedFailure(runtime::EOutOfMemory(nullptr));
  } catch (const std::exception& failure) {
    dialogue::ReportEscapedFailure(runtime::Exception(failure.what()));
  }
  return 1;
}
