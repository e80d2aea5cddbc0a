#pragma once

#include <memory>
#include <string_view>

#include "platform/sources/LeaseSource.h"

namespace platform::sources {

// The source of leases that the server text names; null when it names none. The one place that
// knows every source: Kea today (a UNIX socket's absolute path, or an HTTP/HTTPS endpoint).
std::unique_ptr<LeaseSource> OpenLeaseSource(std::string_view server);

}  // namespace platform::sources
