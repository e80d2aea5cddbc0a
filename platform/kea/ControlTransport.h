#pragma once

#include <memory>

#include "platform/kea/KeaEndpoint.h"
#include "platform/kea/KeaSettings.h"
#include "platform/kea/KeaTransport.h"

namespace platform::kea {

// The transport to the endpoint, chosen once: its UNIX socket when it names one alone; its UNIX
// socket when it names both and the socket can be opened now (the connection made is kept for
// the first command), else its HTTP endpoint; its HTTP endpoint when it names that alone.
std::unique_ptr<KeaTransport> OpenControlTransport(const ControlEndpoint& endpoint,
                                                   const KeaSettings& settings);

}  // namespace platform::kea
