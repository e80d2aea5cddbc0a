#pragma once

#include <string>

#include "lease/LeaseRecord.h"
#include "lease/SaveOutcome.h"

namespace lease {

// Saves the leases as "# Name;IP;MAC" and one "host;ip;mac" line per lease, each ending in
// CR LF, with every character of a host name that would break a line or shift a column written
// as '?'.
SaveOutcome SaveAsText(const std::string& fileName, const LeaseList& leases);

}  // namespace lease
