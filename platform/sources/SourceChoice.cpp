#include "platform/sources/SourceChoice.h"

#include "platform/kea/KeaSource.h"

namespace platform::sources {

std::unique_ptr<LeaseSource> OpenLeaseSource(std::string_view server) {
  return kea::OpenKeaSource(server);
}

}  // namespace platform::sources
