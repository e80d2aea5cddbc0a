#pragma once

#include "platform/Console.h"

namespace platform {

// A console read or write that failed is a failure of the run: raises EInOutError with what the
// status carries, and returns when the status is ok.
void RaiseOnConsoleFailure(const IoStatus& status);

}  // namespace platform
