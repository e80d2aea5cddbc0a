#include "platform/ConsoleFailure.h"

#include "runtime/Exception.h"

namespace platform {

void RaiseOnConsoleFailure(const IoStatus& status) {
  if (!status.ok) {
    throw runtime::EInOutError(status.kind, status.errorNumber);
  }
}

}  // namespace platform
