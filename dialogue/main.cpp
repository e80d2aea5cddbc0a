#include <new>

#include "dialogue/Dialogue.h"
#include "dialogue/ReportEscapedFailure.h"
#include "platform/Process.h"
#include "runtime/Exception.h"

// Nothing else catches a failure: one that escapes ends the run with a report and status 1. A run
// that ends normally gives the status that the dialogue decided: 0, or 2 when not all was done.
int main(int argc, char** argv) {
  platform::PrepareProcess(argc, argv);
  try {
    return dialogue::RunDialogue();
  } catch (const runtime::Exception& failure) {
    dialogue::ReportEscapedFailure(failure);
  } catch (const std::bad_alloc&) {
    dialogue::ReportEscapedFailure(runtime::EOutOfMemory(nullptr));
  } catch (const std::exception& failure) {
    dialogue::ReportEscapedFailure(runtime::Exception(failure.what()));
  }
  return 1;
}
