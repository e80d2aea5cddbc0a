#pragma once

#include <string>

#include "lease/LeaseRecord.h"

namespace lease {

// Reads every lease of every subnet that the server manages into `leases`, writing a line per
// subnet batch and per subnet and an error line for every failed call; returns the number of
// records appended. A subnet adds its records only when all of its batches were read. Errors of
// the server never end the run.
int QueryServer(const std::string& server, LeaseList& leases);

}  // namespace lease
